#include "SaneFrame.h"
bool SaneFrameAssembler::beginFrame(const SaneFrameParameters&)
{
    return false;
}
bool SaneFrameAssembler::append(const std::uint8_t*, std::size_t)
{
    return false;
}
void SaneFrameAssembler::endFrame() {}
bool SaneFrameAssembler::isComplete() const
{
    return false;
}
int SaneFrameAssembler::takeBitmap(imaging::Bitmap&)
{
    return 0;
}
void SaneFrameAssembler::reset() {}
void SaneFrameAssembler::convertLine(const std::uint8_t*) {}
