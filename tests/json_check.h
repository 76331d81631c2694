#pragma once
// Whether a text is one valid JSON document with valid UTF-8 strings, as a script that
// reads the tool's output would take it.
#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <string>
#include <string_view>

namespace veltrane::test {

struct JsonCheck {
    // Empty when valid, else where and why not.
    static std::string check(std::string_view text) {
        QJsonParseError e{};
        QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &e);
        if (e.error != QJsonParseError::NoError)
            return e.errorString().toStdString() + " at byte " + std::to_string(e.offset);
        // Control characters must be escaped inside strings; the parser lets them pass.
        bool in_string = false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (in_string && text[i] == '\\')
                ++i;
            else if (text[i] == '"')
                in_string = !in_string;
            else if (in_string && static_cast<unsigned char>(text[i]) < 0x20)
                return "a control character in a string at byte " + std::to_string(i);
        }
        return "";
    }

    // The document, to compare by value; null when `text` is not JSON.
    static QJsonDocument parse(std::string_view text) {
        return QJsonDocument::fromJson(
            QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    }
};

}  // namespace veltrane::test
