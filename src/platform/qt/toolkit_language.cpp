#include "platform/qt/toolkit_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>
#include <vector>

namespace veltrane {

namespace {

ToolkitLanguage g_language = ToolkitLanguage::English;
std::vector<std::unique_ptr<QTranslator>> g_translators;

}  // namespace

void set_toolkit_language(ToolkitLanguage language) {
    if (language == g_language) return;
    g_language = language;
    for (const auto& t : g_translators) QCoreApplication::removeTranslator(t.get());
    g_translators.clear();
    if (language != ToolkitLanguage::German) return;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : {"qtbase_de", "qtmultimedia_de"}) {
        auto t = std::make_unique<QTranslator>();
        if (!t->load(catalogue, folder)) continue;
        QCoreApplication::installTranslator(t.get());
        g_translators.push_back(std::move(t));
    }
}

ToolkitLanguage toolkit_language() {
    return g_language;
}

}  // namespace veltrane
