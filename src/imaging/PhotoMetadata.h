// Saving keeps what the camera wrote: the source photo's EXIF, XMP, IPTC and colour profile
// carried over into freshly written JPEG bytes, corrected for the picture that was saved.
#pragma once

#include <QByteArray>
#include <QString>

// Copies the metadata of the file at sourcePath into jpegBytes (a complete JPEG file in
// memory). The saved pixels are upright, so the orientation becomes 1 in EXIF and XMP; the
// pixel dimensions follow the new picture and the EXIF thumbnail is made anew from it (or
// dropped when it cannot be). A source without metadata, or one Exiv2 cannot read, leaves
// the bytes as they are and counts as success. False with a message in error (when given)
// when the metadata cannot be written; jpegBytes are then unchanged. Safe on any thread.
bool carryMetadataForSave(const QString& sourcePath, QByteArray& jpegBytes, QString* error);

// Sets Exiv2 up for use on several threads at once (its XMP toolkit needs a lock) and mutes
// its warnings. Runs once, whoever calls it first; anything using Exiv2 directly calls it
// before.
void initialiseExiv2();
