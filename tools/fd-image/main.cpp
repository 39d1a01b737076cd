// fd-image: runs one imaging operation or loader on a file, for tests and for trying the
// library's calls by hand.
#include "Bitmap.h"
#include "ColorOps.h"
#include "EditSteps.h"
#include "FittedJpeg.h"
#include "Geometry.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "TEditImage.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace imaging;

namespace {

// Thrown for arguments that do not fit the subcommand; main turns it into exit code 2.
struct UsageError
{
    QString message;
};

struct Invocation
{
    QStringList arguments;           // positionals after the subcommand
    QHash<QString, QString> options; // given options without "--"; value empty for flags
    bool has(const char* name) const { return options.contains(QLatin1String(name)); }
};

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

int intArgument(const Invocation& call, int index)
{
    bool ok = false;
    const int value = call.arguments.at(index).toInt(&ok);
    if (!ok)
        throw UsageError{QStringLiteral("not a whole number: ") + call.arguments.at(index)};
    return value;
}

double doubleOption(const Invocation& call, const char* name, double fallback)
{
    if (!call.has(name))
        return fallback;
    bool ok = false;
    const double value = call.options.value(QLatin1String(name)).toDouble(&ok);
    if (!ok)
        throw UsageError{QStringLiteral("not a number for --") + QLatin1String(name)};
    return value;
}

ColorRef colorOption(const Invocation& call, const char* name, ColorRef fallback)
{
    if (!call.has(name))
        return fallback;
    const QString text = call.options.value(QLatin1String(name));
    bool ok = false;
    const uint rgb = text.toUInt(&ok, 16);
    if (!ok || text.size() != 6)
        throw UsageError{QStringLiteral("colour must be RRGGBB: ") + text};
    return makeColorRef(int(rgb >> 16), int(rgb >> 8), int(rgb));
}

// The output format follows the name; anything else is a usage error, not a guess.
FileFormat outputFormat(const QString& fileName)
{
    const QString lower = fileName.toLower();
    if (lower.endsWith(QLatin1String(".bmp")))
        return FileFormat::Bmp;
    if (lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg")))
        return FileFormat::Jpeg;
    throw UsageError{QStringLiteral("output must end in .jpg, .jpeg or .bmp: ") + fileName};
}

int writeFile(const QString& fileName, const QByteArray& bytes)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return FileWriteFailed;
    return Success;
}

int saveBitmap(const Bitmap& bitmap, const QString& fileName)
{
    QByteArray bytes;
    const int result = saveBitmapToBuffer(bitmap, outputFormat(fileName), 2, bytes);
    return result == Success ? writeFile(fileName, bytes) : result;
}

// The loaders hand back JPEG bytes; a .bmp output gets them re-encoded.
int saveJpegBytes(const QByteArray& jpeg, const QString& fileName)
{
    if (outputFormat(fileName) == FileFormat::Jpeg)
        return writeFile(fileName, jpeg);
    Bitmap bitmap;
    const int result = loadBitmapFromMemory(jpeg, bitmap);
    return result == Success ? saveBitmap(bitmap, fileName) : result;
}

// The loaders only say "none"; loading the file again tells why.
int loaderFailure(const QString& fileName)
{
    Bitmap bitmap;
    const int result = loadBitmap(fileName, bitmap);
    return result == Success ? InvalidParameter : result;
}

// Operations on a loaded bitmap; arguments 0 and 1 are IN and OUT.

int sizeOp(const Invocation& call, Bitmap& bitmap)
{
    const SizeMode mode = call.has("fast") ? SizeMode::Fast : SizeMode::Bicubic;
    return sizeBitmap(bitmap, intArgument(call, 2), intArgument(call, 3), mode);
}

int rotateOp(const Invocation& call, Bitmap& bitmap)
{
    return rotateBitmap(bitmap, intArgument(call, 2), !call.has("no-resize"),
                        colorOption(call, "fill", makeColorRef(0, 0, 0)));
}

int flipOp(const Invocation& call, Bitmap& bitmap)
{
    return call.has("left-right") ? reverseBitmap(bitmap) : flipBitmap(bitmap);
}

int trimOp(const Invocation& call, Bitmap& bitmap)
{
    return trimBitmap(bitmap, intArgument(call, 2), intArgument(call, 3), intArgument(call, 4),
                      intArgument(call, 5));
}

int contrastOp(const Invocation& call, Bitmap& bitmap)
{
    return changeContrast(bitmap, intArgument(call, 2));
}

int intensityOp(const Invocation& call, Bitmap& bitmap)
{
    return changeIntensity(bitmap, intArgument(call, 2));
}

int saturationOp(const Invocation& call, Bitmap& bitmap)
{
    return changeSaturation(bitmap, intArgument(call, 2));
}

int hueOp(const Invocation& call, Bitmap& bitmap)
{
    return changeHue(bitmap, intArgument(call, 2));
}

// The edit window's mapping of its three balance sliders onto channel factors.
int balanceOp(const Invocation& call, Bitmap& bitmap)
{
    const double r = intArgument(call, 2) / 1000.0;
    const double g = intArgument(call, 3) / 1000.0;
    const double b = intArgument(call, 4) / 1000.0;
    using std::max;
    using std::min;
    return balanceColors(bitmap, {min(1.0, 1 + r), max(0.0, g), max(0.0, b)},
                         {max(0.0, r), min(1.0, 1 + g), max(0.0, b)},
                         {max(0.0, r), max(0.0, g), min(1.0, 1 + b)});
}

int autoColorOp(const Invocation& call, Bitmap& bitmap)
{
    const struct
    {
        const char* flag;
        AutoLevel kind;
    } levels[] = {{"color", AutoLevel::Color},
                  {"contrast", AutoLevel::Contrast},
                  {"brightness", AutoLevel::Intensity}};
    const bool all = std::none_of(std::begin(levels), std::end(levels),
                                  [&](const auto& level) { return call.has(level.flag); });
    for (const auto& level : levels) {
        if (!all && !call.has(level.flag))
            continue;
        if (const int result = autoColorLevel(bitmap, 0, 50, 50, level.kind); result != Success)
            return result;
    }
    return Success;
}

int desaturateOp(const Invocation&, Bitmap& bitmap)
{
    return desaturate(bitmap);
}

int redeyeOp(const Invocation& call, Bitmap& bitmap)
{
    const int left = intArgument(call, 2);
    const int top = intArgument(call, 3);
    const Rect box{left, top, left + intArgument(call, 4), top + intArgument(call, 5)};
    const ColorRef color = colorOption(call, "color", makeColorRef(0, 0, 0));
    bitmap.setRegionEllipse(box);
    const int result = removeRedeye(bitmap, color, 128, 100);
    bitmap.freeRegion();
    return result;
}

// Subcommands that work on the file itself.

int infoCommand(const Invocation& call)
{
    PictureInfo info;
    const int result = fileInfo(call.arguments.at(0), info);
    if (result == Success) {
        out() << "width: " << info.width << "\nheight: " << info.height
              << "\nbits per pixel: " << info.bitsPerPixel << "\nx dpi: " << info.xResolution
              << "\ny dpi: " << info.yResolution << "\norientation: " << info.orientation
              << "\nprogressive: " << (info.progressive ? "yes" : "no") << '\n';
    }
    return result;
}

int fitCommand(const Invocation& call)
{
    const QString in = call.arguments.at(0);
    outputFormat(call.arguments.at(1));
    FittedJpegDetails details;
    const std::optional<QByteArray> jpeg =
        LoadFittedJpeg(in, intArgument(call, 2), intArgument(call, 3),
                       doubleOption(call, "area", 0), call.has("hq"), nullptr, details);
    if (!jpeg)
        return loaderFailure(in);
    out() << "stored: " << details.storedWidth << 'x' << details.storedHeight
          << "\nfitted: " << details.resultWidth << 'x' << details.resultHeight
          << "\nunchanged: " << (details.unchanged ? "yes" : "no") << '\n';
    return saveJpegBytes(*jpeg, call.arguments.at(1));
}

int thumbCommand(const Invocation& call)
{
    const QString in = call.arguments.at(0);
    outputFormat(call.arguments.at(1));
    const std::optional<QByteArray> jpeg =
        LoadThumbnailStream(in, intArgument(call, 2), makeColorRef(255, 255, 255));
    return jpeg ? saveJpegBytes(*jpeg, call.arguments.at(1)) : loaderFailure(in);
}

// edit IN OUT STEP...: the picture goes through the edit engine in apply mode, step by step,
// and is saved the way the edit window saves it.
int editCommand(const QStringList& arguments)
{
    if (arguments.size() < 3)
        throw UsageError{QStringLiteral("edit takes IN OUT STEP...")};
    outputFormat(arguments.at(1));
    QString error;
    const std::optional<std::vector<edit::EditStep>> steps =
        edit::parseEditSteps(arguments.mid(2), &error);
    if (!steps)
        throw UsageError{error};
    Bitmap bitmap;
    if (const int result = loadBitmap(arguments.at(0), bitmap); result != Success)
        return result;
    int ended = 0;
    TEditImage engine(640, 480, EditMode::Apply, nullptr, {}, [&ended] { ++ended; });
    if (!engine.Open(&bitmap, arguments.at(0)))
        return NoMemory;
    for (std::size_t i = 0; i < steps->size(); ++i) {
        const int awaited = ended + 1;
        edit::postEditStep(engine, steps->at(i));
        while (ended < awaited)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (engine.lastResult() != Success) {
            QTextStream(stderr) << "fd-image: step " << arguments.at(2 + qsizetype(i)) << " failed"
                                << Qt::endl;
            return engine.lastResult();
        }
        out() << arguments.at(2 + qsizetype(i)) << ": " << engine.FullWidth() << 'x'
              << engine.FullHeight() << '\n';
    }
    if (!engine.Save(arguments.at(1), &error)) {
        QTextStream(stderr) << "fd-image: " << error << Qt::endl;
        return FileWriteFailed;
    }
    out() << "saved: " << arguments.at(1) << '\n';
    return Success;
}

using FileCommand = int (*)(const Invocation&);
using BitmapOp = int (*)(const Invocation&, Bitmap&);

struct Command
{
    const char* name;
    int argumentCount;
    const char* options; // space-separated; "name=" takes a value
    const char* synopsis;
    FileCommand onFile = nullptr; // exactly one of onFile and onBitmap
    BitmapOp onBitmap = nullptr;
};

const Command kCommands[] = {
    {"info", 1, "", "IN", infoCommand},
    {"fit", 4, "area= hq", "IN OUT MAXW MAXH [--area F] [--hq]", fitCommand},
    {"thumb", 3, "", "IN OUT SIZE", thumbCommand},
    {"size", 4, "fast", "IN OUT W H [--fast]", nullptr, sizeOp},
    {"rotate", 3, "fill= no-resize", "IN OUT HUNDREDTHS [--fill RRGGBB] [--no-resize]", nullptr,
     rotateOp},
    {"flip", 2, "left-right", "IN OUT [--left-right]", nullptr, flipOp},
    {"trim", 6, "", "IN OUT LEFT TOP W H", nullptr, trimOp},
    {"contrast", 3, "", "IN OUT VALUE", nullptr, contrastOp},
    {"intensity", 3, "", "IN OUT VALUE", nullptr, intensityOp},
    {"saturation", 3, "", "IN OUT VALUE", nullptr, saturationOp},
    {"hue", 3, "", "IN OUT DEGREES", nullptr, hueOp},
    {"balance", 5, "", "IN OUT R G B", nullptr, balanceOp},
    {"autocolor", 2, "color contrast brightness", "IN OUT [--color] [--contrast] [--brightness]",
     nullptr, autoColorOp},
    {"desaturate", 2, "", "IN OUT", nullptr, desaturateOp},
    {"redeye", 6, "color=", "IN OUT LEFT TOP W H [--color RRGGBB]", nullptr, redeyeOp},
};

const Command* findCommand(const QString& name)
{
    for (const Command& command : kCommands) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

QString usageText()
{
    QString text = QStringLiteral("usage: fd-image COMMAND ARGUMENTS\n");
    text += QStringLiteral(
        "  fd-image edit IN OUT STEP...   steps: rotate:DEGREES[:crop] flip:h|v crop:L,T,W,H\n"
        "      resize:W,H colors:C,B,S,H,R,G,B (-1000..1000) auto:COLOR,CONTRAST,BRIGHTNESS\n"
        "      (0/1) grey redeye:L,T,W,H\n");
    for (const Command& command : kCommands) {
        text += QStringLiteral("  fd-image %1 %2\n")
                    .arg(QLatin1String(command.name), QLatin1String(command.synopsis));
    }
    return text;
}

// Splits the arguments into positionals and the options the command knows.
Invocation parseArguments(const Command& command, const QStringList& arguments)
{
    const QStringList known = QString::fromLatin1(command.options).split(u' ', Qt::SkipEmptyParts);
    Invocation call;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!argument.startsWith(QLatin1String("--"))) {
            call.arguments << argument;
            continue;
        }
        const QString name = argument.mid(2);
        if (known.contains(name)) {
            call.options.insert(name, QString());
        } else if (known.contains(name + u'=') && i + 1 < arguments.size()) {
            call.options.insert(name, arguments.at(++i));
        } else {
            throw UsageError{QStringLiteral("unknown option or missing value: ") + argument};
        }
    }
    if (call.arguments.size() != command.argumentCount)
        throw UsageError{QStringLiteral("%1 takes %2 arguments")
                             .arg(QLatin1String(command.name))
                             .arg(command.argumentCount)};
    return call;
}

int runBitmapOp(const Invocation& call, BitmapOp op)
{
    outputFormat(call.arguments.at(1)); // a bad output name fails before any work
    Bitmap bitmap;
    int result = loadBitmap(call.arguments.at(0), bitmap);
    if (result == Success)
        result = op(call, bitmap);
    if (result == Success)
        result = saveBitmap(bitmap, call.arguments.at(1));
    return result;
}

int run(const QStringList& arguments)
{
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("edit"))
        return editCommand(arguments.mid(1));
    const Command* command = arguments.isEmpty() ? nullptr : findCommand(arguments.first());
    if (!command)
        throw UsageError{arguments.isEmpty()
                             ? QStringLiteral("no command")
                             : QStringLiteral("unknown command: ") + arguments.first()};
    const Invocation call = parseArguments(*command, arguments.mid(1));
    return command->onFile ? command->onFile(call) : runBitmapOp(call, command->onBitmap);
}

} // namespace

int main(int argc, char** argv)
{
    // The edit engine's worker reports through the event loop.
    QCoreApplication application(argc, argv);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QTextStream err(stderr);
    try {
        const int result = run(arguments);
        out() << "result: " << result << Qt::endl;
        if (result != Success) {
            err << resultText(result) << Qt::endl;
            return 1;
        }
        return 0;
    } catch (const UsageError& error) {
        out().flush();
        err << "fd-image: " << error.message << '\n' << usageText() << Qt::flush;
        return 2;
    }
}
