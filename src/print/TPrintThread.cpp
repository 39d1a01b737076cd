#include "TPrintThread.h"

TPrintThread::TPrintThread(WindowMessenger::Handler handler, PrintSettings settings,
                           PrintTarget target, bool nPerPage, bool preferRotation)
    : WorkerThread(std::move(handler)), mSettings(std::move(settings)), mTarget(std::move(target)),
      mNPerPage(nPerPage), mPreferRotation(preferRotation)
{}

TPrintThread::~TPrintThread()
{
    stop();
}

void TPrintThread::execute() {}
