#include "PictureTurns.h"

namespace {
int wrap(int quarterTurns)
{
    return ((quarterTurns % 4) + 4) % 4;
}
} // namespace

PictureTurns::Transform PictureTurns::of(const EditAction& request)
{
    Transform t;
    if (request.kind == EditNone || request.kind == EditUndoMarker)
        return t;
    if (request.kind != EditTurn) {
        t.other = true;
        return t;
    }
    const bool leftRight = request.p1 == 1;
    const bool topBottom = request.p2 == 1;
    if (leftRight && topBottom) {
        t.quarterTurns = 2;
    } else if (leftRight) {
        t.mirrored = true;
    } else if (topBottom) {
        // A top-bottom mirror is a left-right one turned by half a turn.
        t.mirrored = true;
        t.quarterTurns = 2;
    }
    if (request.p3 > 0) {
        if (request.p3 % 9000 != 0)
            t.other = true;
        else
            t.quarterTurns = wrap(t.quarterTurns + request.p3 / 9000);
    }
    return t;
}

// Turning R(q)·M^m after R(p)·M^n: a mirror reverses the sense of the turns before it.
PictureTurns::Transform PictureTurns::then(const Transform& first, const Transform& second)
{
    Transform t;
    t.other = first.other || second.other;
    t.mirrored = first.mirrored != second.mirrored;
    t.quarterTurns = wrap(second.mirrored ? second.quarterTurns - first.quarterTurns
                                          : second.quarterTurns + first.quarterTurns);
    return t;
}

PictureTurns::Transform PictureTurns::inverse(const Transform& transform)
{
    Transform t = transform;
    if (!t.mirrored)
        t.quarterTurns = wrap(-t.quarterTurns);
    return t;
}

void PictureTurns::applied(const EditAction& request, bool succeeded)
{
    mLast = of(request);
    if (!succeeded)
        mLast.other = true;
    mBeforeLast = mCurrent;
    mCurrent = then(mCurrent, mLast);
    mSavedSinceLast = false;
}

void PictureTurns::undone()
{
    // After a save the file holds the undone step, so undoing it is one more change.
    mCurrent = mSavedSinceLast ? then(mCurrent, inverse(mLast)) : mBeforeLast;
    mLast = Transform();
    mBeforeLast = mCurrent;
    mSavedSinceLast = false;
}

void PictureTurns::saved()
{
    mCurrent = Transform();
    mSavedSinceLast = true;
}

std::optional<std::vector<LosslessStep>> PictureTurns::steps() const
{
    if (mCurrent.other)
        return std::nullopt;
    std::vector<LosslessStep> steps;
    if (mCurrent.mirrored)
        steps.push_back(LosslessStep::FlipHorizontal);
    static constexpr LosslessStep kTurns[] = {LosslessStep::Rotate90, LosslessStep::Rotate180,
                                              LosslessStep::Rotate270};
    if (mCurrent.quarterTurns != 0)
        steps.push_back(kTurns[mCurrent.quarterTurns - 1]);
    return steps;
}
