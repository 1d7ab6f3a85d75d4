// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/document_io.h"

#include "document/document_file.h"
#include "document/text_export.h"
#include "document/vcd_export.h"
#include "document/vhdl_export.h"
#include "document/vexlar_doc.h"
#include "model/errors.h"

#include <exception>
#include <new>

namespace {
// Runs a document-layer operation and turns its exception into the text the
// user sees.
template <typename Operation>
bool Guarded(Operation&& operation, QString& error, const char* fallback)
{
    try {
        operation();
        return true;
    } catch (const std::bad_alloc&) {
        error = QStringLiteral("Out of memory.");
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = QString::fromLatin1(fallback);
    }
    if (error.isEmpty()) {
        error = QString::fromLatin1(fallback);
    }
    return false;
}
}   // namespace

bool LoadDocumentFromFile(CVexlarDoc& doc, const QString& path, QString& error)
{
    return Guarded([&] { OpenDocumentFile(doc, path); }, error, "Unexpected file format.");
}

bool SaveDocumentToFile(CVexlarDoc& doc, const QString& path, QString& error)
{
    return Guarded([&] { SaveDocumentFile(doc, path); }, error, "Failed to save document.");
}

bool ExportTableFile(CVexlarDoc& doc, const QString& path, QString& error)
{
    return Guarded([&] { ExportCsv(doc, path); }, error, "The file could not be written.");
}

bool ExportVcdFile(CVexlarDoc& doc, const QString& path, QString& error)
{
    return Guarded([&] { ExportVcd(doc, path); }, error, "The file could not be written.");
}

bool ExportTestbenchFile(CVexlarDoc& doc, const QString& path, QString& error)
{
    return Guarded([&] { ExportVhdlTestbench(doc, path); }, error, "Encountered an improper argument.");
}

bool ExportSignalFile(CVexlarDoc&, CSignal& signal, const QString& path, QString& error)
{
    return Guarded([&] { ExportSignalText(signal, path); }, error, "The file could not be written.");
}
