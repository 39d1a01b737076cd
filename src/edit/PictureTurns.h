// Keeps account of the quarter turns and mirrors between the picture in the editor and its
// file on disk, so that a save can move the file's JPEG blocks instead of re-encoding.
#pragma once

#include "EditAction.h"
#include "LosslessJpeg.h"

#include <optional>
#include <vector>

class PictureTurns
{
public:
    // A request was applied on top of the picture; one that failed counts as a change of
    // unknown kind, so the next save encodes the pixels.
    void applied(const EditAction& request, bool succeeded);
    // The last applied request was undone.
    void undone();
    // The picture was written to its file.
    void saved();

    // The steps that turn the file into the picture, or none when anything else (a fine
    // turn, a colour change, a crop...) changed its pixels.
    std::optional<std::vector<LosslessStep>> steps() const;

private:
    // The picture mirrored left to right (when mirrored), then turned clockwise by
    // quarterTurns × 90°.
    struct Transform
    {
        int quarterTurns = 0;
        bool mirrored = false;
        bool other = false; // something that no block move reproduces
    };
    static Transform of(const EditAction& request);
    static Transform then(const Transform& first, const Transform& second);
    static Transform inverse(const Transform& transform);

    Transform mCurrent;
    Transform mBeforeLast;
    Transform mLast;
    bool mSavedSinceLast = false;
};
