// The namespace's share of expanding one tree node (list, has-sub-folders, names, sort) and
// the has-sub-folders test on a folder of many files.
#include "ShellNamespace.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace {

// home/big: 10,000 sub-folders, every tenth with one of its own; home/files: 100,000 files;
// home/filesAndHidden: the same plus a hidden sub-folder, so that the link count no longer
// answers and the whole folder is read.
class Fixture
{
public:
    static Fixture& instance()
    {
        static Fixture fixture;
        return fixture;
    }

    const ShellItemIdList& big() const { return mBig; }
    ShellFolder home() const { return ShellFolder(ShellNamespace::instance().myDocuments()); }

private:
    Fixture()
    {
        mRoot = QFile::encodeName(mDir.path());
        qputenv("VELKO_HOME", mRoot + "/home");
        qputenv("VELKO_DESKTOP_DIR", mRoot + "/desktop");
        qputenv("VELKO_MOUNTINFO", mRoot + "/mountinfo");
        QFile table(QFile::decodeName(mRoot + "/mountinfo"));
        if (table.open(QIODevice::WriteOnly)) {
            table.write("1 0 254:0 / / rw - ext4 /dev/vda rw\n");
        }
        ::mkdir((mRoot + "/home").constData(), 0755);
        const QByteArray big = mRoot + "/home/big";
        ::mkdir(big.constData(), 0755);
        for (int i = 0; i < 10000; ++i) {
            const QByteArray folder = big + "/Folder " + QByteArray::number(i);
            ::mkdir(folder.constData(), 0755);
            if (i % 10 == 0) {
                ::mkdir((folder + "/inner").constData(), 0755);
            }
        }
        makeFiles(mRoot + "/home/files", {});
        makeFiles(mRoot + "/home/filesAndHidden", mRoot + "/home/files");
        ::mkdir((mRoot + "/home/filesAndHidden/.hidden").constData(), 0755);
        ShellNamespace::instance().reset();
        mBig = ShellNamespace::instance().myDocuments() +
               ShellItemIdList(ShellItem{ShellItemKind::Entry, "big"});
    }

    // Hard links to the files of another folder are quicker to make than new files.
    static void makeFiles(const QByteArray& dir, const QByteArray& linkTo)
    {
        ::mkdir(dir.constData(), 0755);
        for (int i = 0; i < 100000; ++i) {
            const QByteArray name = "/IMG_" + QByteArray::number(i) + ".jpg";
            if (!linkTo.isEmpty() &&
                ::link((linkTo + name).constData(), (dir + name).constData()) == 0) {
                continue;
            }
            const int fd = ::open((dir + name).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    QTemporaryDir mDir;
    QByteArray mRoot;
    ShellItemIdList mBig;
};

ShellItemIdList entry(const char* name)
{
    return ShellItemIdList(ShellItem{ShellItemKind::Entry, name});
}

// Everything the tree asks of the namespace when the user expands "big".
void BM_ExpandNode(benchmark::State& state)
{
    const Fixture& fixture = Fixture::instance();
    const ShellNamespace& shell = ShellNamespace::instance();
    const ShellFolder& desktop = shell.desktopFolder();
    for (auto _ : state) {
        const ShellFolder folder(fixture.big());
        std::vector<ShellItemIdList> children = folder.enumObjects(EnumFolders);
        std::vector<ShellItemIdList> absolute;
        absolute.reserve(children.size());
        int withSubFolders = 0;
        for (const ShellItemIdList& child : children) {
            withSubFolders += folder.hasSubFolders(child) ? 1 : 0;
            absolute.push_back(fixture.big() + child);
            benchmark::DoNotOptimize(shell.display(absolute.back()));
        }
        std::sort(absolute.begin(), absolute.end(),
                  [&](const auto& a, const auto& b) { return desktop.compareIds(a, b) < 0; });
        if (children.size() != 10000 || withSubFolders != 1000) {
            state.SkipWithError("unexpected folder contents");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

// The parts on their own.
void BM_Enumerate(benchmark::State& state)
{
    const ShellFolder folder(Fixture::instance().big());
    for (auto _ : state) {
        benchmark::DoNotOptimize(folder.enumObjects(EnumFolders));
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

void BM_SortByCompareIds(benchmark::State& state)
{
    const Fixture& fixture = Fixture::instance();
    const ShellFolder& desktop = ShellNamespace::instance().desktopFolder();
    std::vector<ShellItemIdList> shuffled;
    for (const ShellItemIdList& child : ShellFolder(fixture.big()).enumObjects(EnumFolders)) {
        shuffled.push_back(fixture.big() + child);
    }
    for (auto _ : state) {
        std::vector<ShellItemIdList> ids = shuffled;
        std::sort(ids.begin(), ids.end(),
                  [&](const auto& a, const auto& b) { return desktop.compareIds(a, b) < 0; });
        benchmark::DoNotOptimize(ids.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t(shuffled.size()));
}

// 100,000 files and no sub-folder: the link count answers without reading the folder
// ("files"); with a hidden sub-folder as well, the folder is read to its end
// ("filesAndHidden").
void BM_HasSubFolders(benchmark::State& state, const char* folder)
{
    const ShellFolder home = Fixture::instance().home();
    const ShellItemIdList files = entry(folder);
    for (auto _ : state) {
        if (home.hasSubFolders(files)) {
            state.SkipWithError("found a sub-folder");
            break;
        }
    }
}

} // namespace

BENCHMARK(BM_ExpandNode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Enumerate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortByCompareIds)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HasSubFolders, ManyFiles, "files")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_HasSubFolders, ManyFilesReadToTheEnd, "filesAndHidden")
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
