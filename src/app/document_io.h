// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

class CVexlarDoc;

// The shell's access to the document file: loads into a fresh document and
// saves, reporting the error text the user sees ("Unexpected file format.",
// "Failed to save document.").
bool LoadDocumentFromFile(CVexlarDoc& doc, const QString& path, QString& error);
bool SaveDocumentToFile(CVexlarDoc& doc, const QString& path, QString& error);

class CSignal;

// The exports, each to one file. False with the error text when the file
// could not be written or the document cannot be exported.
bool ExportTableFile(CVexlarDoc& doc, const QString& path, QString& error);
bool ExportVcdFile(CVexlarDoc& doc, const QString& path, QString& error);
bool ExportTestbenchFile(CVexlarDoc& doc, const QString& path, QString& error);
bool ExportSignalFile(CVexlarDoc& doc, CSignal& signal, const QString& path, QString& error);
