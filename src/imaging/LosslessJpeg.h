// Quarter turns and mirrors of a JPEG file without decoding it: the DCT blocks are moved,
// so a photo turned upright loses nothing.
#pragma once

#include <QByteArray>

#include <optional>
#include <vector>

// What the user did to the picture as shown, that is upright by its EXIF orientation.
// Turns are clockwise.
enum class LosslessStep
{
    Rotate90,
    Rotate180,
    Rotate270,
    FlipHorizontal,
    FlipVertical
};

// The one EXIF orientation (1 to 8) that turns the stored picture straight into what the
// user saw after the steps, when the file itself says orientation (anything outside 1 to 8
// counts as 1, as the loaders read it).
int combinedOrientation(int orientation, const std::vector<LosslessStep>& steps);

// The file with the stored picture transformed so that it shows, with orientation 1, what
// the user saw after the steps: the file's own orientation and the steps make one transform.
// The file's markers (EXIF, XMP, ICC...) are copied unchanged, still naming the old
// orientation and size; carryMetadataForSave puts them right. None when the transform would
// not be perfect (partial blocks at an edge that would have to be cut off) or the file
// cannot be transformed; the caller then saves the ordinary way.
std::optional<QByteArray> losslessTransform(const QByteArray& sourceFileBytes,
                                            const std::vector<LosslessStep>& steps);
