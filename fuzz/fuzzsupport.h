#pragma once

#include <QGuiApplication>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

// One headless application for the whole fuzzing process; libFuzzer calls the target many
// times in one process, so everything costly is made once.
template <typename App = QGuiApplication> App *fuzzApplication()
{
    // Never destroyed: tearing Qt down in exit handlers after a finding only adds noise.
    static App *app = nullptr;
    if (!app) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The program logs every reply; at fuzzing speed that would drown the findings.
        qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false");
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = { name, nullptr };
        app = new App(argc, argv);
    }
    return app;
}

// A broken invariant is a finding: print it and abort so that libFuzzer saves the input.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                    \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
