#include "app/document_io.h"

bool LoadDocumentFromFile(CVexlarDoc&, const QString&, QString& error) {
    error = QStringLiteral("Unexpected file format.");
    return false;
}
bool SaveDocumentToFile(CVexlarDoc&, const QString&, QString& error) {
    error = QStringLiteral("Failed to save document.");
    return false;
}
bool ExportTableFile(CVexlarDoc&, const QString&, QString& error) { error = QStringLiteral("not built"); return false; }
bool ExportVcdFile(CVexlarDoc&, const QString&, QString& error) { error = QStringLiteral("not built"); return false; }
bool ExportTestbenchFile(CVexlarDoc&, const QString&, QString& error) { error = QStringLiteral("not built"); return false; }
bool ExportSignalFile(CVexlarDoc&, CSignal&, const QString&, QString& error) { error = QStringLiteral("not built"); return false; }
