// Text ids of the Get Photos wizard and its two questions in the language table.
#pragma once

namespace getphotos {

enum Text : unsigned
{
    TextNext = 1,
    TextCancel = 3,
    TextClose = 4,
    TextYes = 5,
    TextNo = 6,
    TextSelectAll = 101,
    TextDeselectAll = 102,
    TextTitle = 103,
    TextNoPhotosInFolder = 113,
    TextNoPhotosSelectedPlease = 114,
    TextStepSelectPhotos = 201,
    TextStepDestination = 202,
    TextStepCopy = 203,
    TextIntro = 204,
    TextBrowse = 205,
    TextNoPhotosSelected = 206,
    TextSelectDestination = 207,
    TextSubFolder = 208,
    TextCopying = 209,
    TextFrom = 210,
    TextTo = 211,
    TextFilesCopied = 212,
    TextLastCopiedFile = 213,
    TextCancelled = 214,
    TextCompleted = 215,
    TextSameFolder = 216,
    TextFolderNotCreated = 217,
    TextCopyError = 218,
    TextFailedToCopyFile = 219,
    TextRetry = 220,
    TextSkip = 221,
    TextConfirmReplace = 222,
    TextFileExists = 223,
    TextReplaceQuestion = 224,
    TextYesToAll = 225,
    TextPhotosBase = 226,
    TextNoSourceFolder = 227,
    TextNoDestinationFolder = 228,
    TextCopyMismatch = 229,
    TextOverallProgress = 329,
};

} // namespace getphotos
