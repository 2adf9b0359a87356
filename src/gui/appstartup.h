#pragma once

class QApplication;

// Applies ":/qss/default.css" to the whole application. False when the resources are missing,
// the sheet cannot be opened or is empty; the caller then warns the user and carries on.
bool loadStyleSheet(QApplication &app);

// The modal start-up warning shown when loadStyleSheet fails (always in the source language:
// no translator is installed yet).
void showStyleSheetWarning();
