#pragma once
// The installation behind the copy page's "Seguir >" and the finish page's "Finalizar", run
// the same way by the pages and by the unattended run. Whoever runs it shows its progress and
// answers its questions through a CopyView and a FinishView: the pages with their widgets and
// message boxes, the unattended run from the answers file and on its progress stream.
#include "setup/catalogue.h"
#include "setup/choices.h"
#include "setup/disk_space.h"
#include "setup/progress.h"

#include <string>

namespace zel {

struct Platform;

// What both steps tell.
class InstallationView {
public:
    virtual ~InstallationView() = default;
    // The work begins (true) after the checks, or is over (false), however it ended.
    virtual void working(bool on) = 0;
    // It failed (code page 1252): a file not copied, a settings file or the registry not
    // written. What was done stays done; the step may be tried again.
    virtual void failed(const std::string& message) = 0;
};

class CopyView : public InstallationView {
public:
    // The destination's drive cannot be used (code page 1252): nothing is done.
    virtual void destinationUnavailable(const std::string& message) = 0;
    // The disk seems short (the question, code page 1252): whether to go on all the same.
    virtual bool goOnShortOfSpace(const std::string& question) = 0;
    // The drive is walked for old socket libraries; pump() is called while it lasts.
    virtual void sweeping() = 0;
    virtual void pump() = 0;
    // The files are copied: the gauges and lines that show it, shown from empty.
    virtual CopyProgress copying() = 0;
    // The copy is over, however it ended: its progress is put away.
    virtual void copyOver() = 0;
};

class FinishView : public InstallationView {
public:
    // The groups and items Program Manager did not create (code page 1252). The installation
    // is done all the same.
    virtual void notCreated(const std::string& message) = 0;
};

// What the copy weighs first, with the platform's free space on the destination's drive.
CopyCheck copyCheck(Platform& platform, const Catalogue& kit, const Choices& choices);

// The copy: the checks (the view's answer to the space question is kept in the choices), the
// socket-library sweep, the installation run and the dialer's settings. True when all of it
// was done; false when the view was told why not, or declined to go on.
bool runCopy(Platform& platform, const Catalogue& kit, Choices& choices, CopyView& view);

// The finish: the finish sequence, with the Program Manager conversation closed at its end, so
// that every macro is delivered. True when done (the view was told what Program Manager did not
// create); false when the view was told the failure.
bool runFinish(Platform& platform, const Catalogue& kit, const Choices& choices, FinishView& view);

} // namespace zel
