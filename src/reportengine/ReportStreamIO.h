#pragma once

// What the stream writer and the stream players share: where a recorded
// report lives (StreamMode), its text and colour encodings, and the page
// geometry of a printer.

#include "reportengine/TBaseReport.h"
#include "reportengine/stream/StreamRecords.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <string>
#include <string_view>

class QIODevice;
class QPrinter;

namespace reportengine {

// smMemory: the writer records in memory and saves the whole stream to the
// file at the end; players load the file. smFile: the writer creates the file
// when the run starts. smUser: the owner supplies an open QIODevice; it is
// read and written from position 0, never truncated and left open.
enum StreamMode { smMemory = 0, smFile = 1, smUser = 2 };

// Text in a stream is Windows-1252; characters it lacks are recorded as '?'.
std::string toStreamText(const QString& text);
QString fromStreamText(std::string_view bytes);

// Colours in a stream are 0x00BBGGRR.
std::int32_t toStreamColour(const QColor& color);
QColor fromStreamColour(std::int32_t colour);

// The paper, unprintable borders and resolution the printer reports. A PDF
// page is printed whole, so it has no unprintable borders.
PageDevice printerPageDevice(const QPrinter& printer);
// True when the printer writes a PDF file rather than reaching a system printer.
bool printerWritesPdf(const QPrinter& printer);

} // namespace reportengine
