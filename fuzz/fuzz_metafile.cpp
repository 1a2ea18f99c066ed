// The metafile readers (.WMF and .EMF sponsor pictures): any bytes give a bounded picture or
// none, in bounded time and memory.
#include "fuzz/fuzz_target.h"
#include "fuzz/metafile_properties.h"

#include <QGuiApplication>

// Text records need a font database, which needs an application; no display is used.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

ZEL_FUZZ_TARGET(zel::fuzz::checkMetafiles)
