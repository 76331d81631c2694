#include "platform/qt/qt_clock.h"

#include <QDate>
#include <QLocale>
#include <QThread>
#include <QTime>

namespace veltrane {

QChar plain_separator(const QString& format, const QString& plain, QChar fallback) {
    // The first character between two fields, passing over invisible marks.
    for (QChar c : format) {
        if (c.isLetter() || c.category() == QChar::Other_Format) continue;
        return plain.contains(c) ? c : fallback;
    }
    return fallback;
}

double QtClock::seconds_since_midnight() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

const QtClock::Separators& QtClock::separators() {
    std::call_once(asked_, [this] {
        const QLocale system = QLocale::system();
        separators_.date = plain_separator(system.dateFormat(QLocale::ShortFormat), "/.-", '/');
        separators_.time = plain_separator(system.timeFormat(QLocale::ShortFormat), ":.", ':');
        const QString point = system.decimalPoint();
        if (point.size() == 1 && point[0].unicode() < 128)
            separators_.decimal = static_cast<char>(point[0].unicode());
    });
    return separators_;
}

std::string QtClock::date_text() {
    const QChar sep = separators().date;
    return QDate::currentDate().toString(QString("dd") + sep + "MM" + sep + "yy").toStdString();
}

std::string QtClock::time_text() {
    const QChar sep = separators().time;
    return QTime::currentTime().toString(QString("HH") + sep + "mm" + sep + "ss").toStdString();
}

char QtClock::decimal_separator() {
    return separators().decimal;
}

void QtClock::sleep(double seconds) {
    QThread::usleep(static_cast<unsigned long>(seconds * 1e6));
}

}  // namespace veltrane
