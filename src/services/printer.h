#pragma once
// Printing text on the printer the user picks, in printer device units.
#include <string>

namespace zel {

struct FontStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

class Printer {
public:
    virtual ~Printer() = default;
    // The print dialog: true when the user confirms.
    virtual bool choosePrinter() = 0;
    // Starts a job with an empty title and its first page.
    virtual void beginDocument() = 0;
    virtual void newPage() = 0;
    virtual void setFont(const std::string& face, int points, FontStyle style) = 0;
    // Writes one line (code page 1252) with its top-left corner at (x, y).
    virtual void textOut(int x, int y, const std::string& text) = 0;
    virtual int textHeight(const std::string& text) = 0;
    // Ends the last page and sends the job.
    virtual void endDocument() = 0;
    // Drops a job begun but not ended (after an error).
    virtual void abortDocument() = 0;
};

} // namespace zel
