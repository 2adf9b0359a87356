#pragma once

#include <QFont>
#include <QString>

// Painted-text tests compare ink, which says nothing useful when the machine has no font for
// the text: this names what is missing instead.
namespace FontCheck {

// The characters of text that neither font nor any installed family that covers Simplified
// Chinese can draw; empty when all can be drawn.
QString undrawable(const QString &text, const QFont &font = QFont());

// A failure message naming the characters and the package that brings them, or empty.
QString missingFontMessage(const QString &text, const QFont &font = QFont());

} // namespace FontCheck

// Fails the running test when the machine cannot draw text (call it before judging ink).
#define VELORA_REQUIRE_GLYPHS(text, ...)                                                                               \
    do {                                                                                                               \
        const QString velora_missing_font_ = FontCheck::missingFontMessage((text), ##__VA_ARGS__);                     \
        if (!velora_missing_font_.isEmpty())                                                                           \
            QFAIL(qPrintable(velora_missing_font_));                                                                   \
    } while (false)
