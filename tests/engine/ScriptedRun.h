// An update controller over the scripted scale library in a scratch folder, with a waiter on
// the end of its runs: the common ground of the run tests that need no real scale.
#pragma once

#include "FakeScaleLibrary.h"
#include "RunTestSupport.h"

#include "engine/UpdateController.h"

#include <memory>

namespace ostrel::test {

class ScriptedRun : public RunFolder
{
protected:
    void makeController()
    {
        controller = std::make_unique<UpdateController>(
            UpdateController::Dependencies{paths, library, messages, progress, timer, clock});
        waiter.attach(*controller);
    }

    FakeScaleLibrary library;
    RunWaiter waiter;
    std::unique_ptr<UpdateController> controller; // last: goes before the library
};

} // namespace ostrel::test
