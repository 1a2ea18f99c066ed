#pragma once
// How the installation run shows its progress: two gauges and two status lines.
#include <string>

namespace zel {

class Gauge {
public:
    virtual ~Gauge() = default;
    virtual void setMaximum(int maximum) = 0;
    virtual void setPosition(int position) = 0;
    virtual void advance(int by) = 0;
};

class StatusLine {
public:
    virtual ~StatusLine() = default;
    virtual void setText(const std::string& text) = 0; // code page 1252
    virtual void repaint() = 0;
};

// The whole of it: the programs and the files of the one being installed.
struct CopyProgress {
    Gauge& overall;
    Gauge& file;
    StatusLine& programStatus;
    StatusLine& fileStatus;
};

} // namespace zel
