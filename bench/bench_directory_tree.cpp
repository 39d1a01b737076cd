// Expanding a folder-tree node with many sub-folders: listing, building, sorting, inserting.
#include "ShellNamespace.h"
#include "TVelkoDirectoryTreeview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <memory>

namespace {

// A home folder holding "big" with the requested number of sub-folders; every tenth has a
// sub-folder of its own, so the has-sub-folders test sees both answers.
class BigFolder
{
public:
    explicit BigFolder(int count)
    {
        mRoot = QFile::encodeName(mDir.path());
        qputenv("VELKO_HOME", mRoot + "/home");
        qputenv("VELKO_DESKTOP_DIR", mRoot + "/desktop");
        qputenv("VELKO_MOUNTINFO", mRoot + "/mountinfo");
        QFile table(QFile::decodeName(mRoot + "/mountinfo"));
        if (table.open(QIODevice::WriteOnly))
            table.close();
        const QByteArray big = mRoot + "/home/big";
        ::mkdir((mRoot + "/home").constData(), 0755);
        ::mkdir(big.constData(), 0755);
        for (int i = 0; i < count; ++i) {
            const QByteArray folder = big + "/Folder " + QByteArray::number(i);
            ::mkdir(folder.constData(), 0755);
            if (i % 10 == 0)
                ::mkdir((folder + "/inner").constData(), 0755);
        }
        ShellNamespace::instance().reset();
    }

private:
    QTemporaryDir mDir;
    QByteArray mRoot;
};

QTreeWidgetItem* bigNode(TVelkoDirectoryTreeview& tree)
{
    QTreeWidgetItem* root = tree.ShowRoot(TVelkoDirectoryTreeview::RootMyDocuments);
    if (!root || !tree.PopulateNode(root))
        return nullptr;
    for (int i = 0; i < root->childCount(); ++i) {
        if (root->child(i)->text(0) == QLatin1String("big"))
            return root->child(i);
    }
    return nullptr;
}

// PopulateNode alone: list, build the nodes, sort, insert.
void BM_PopulateNode(benchmark::State& state)
{
    const int count = int(state.range(0));
    BigFolder folder(count);
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TVelkoDirectoryTreeview>();
        QTreeWidgetItem* node = bigNode(*tree);
        if (!node) {
            state.SkipWithError("no big folder");
            break;
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(tree->PopulateNode(node));
        state.PauseTiming();
        if (node->childCount() != count)
            state.SkipWithError("wrong child count");
        tree.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["folders"] = count;
}

// What the user waits for: expanding through the view of a shown tree, laid out and painted.
void BM_ExpandShownNode(benchmark::State& state)
{
    const int count = int(state.range(0));
    BigFolder folder(count);
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TVelkoDirectoryTreeview>();
        tree->resize(300, 600);
        tree->show();
        QTreeWidgetItem* node = bigNode(*tree);
        QCoreApplication::processEvents();
        if (!node) {
            state.SkipWithError("no big folder");
            break;
        }
        state.ResumeTiming();
        node->setExpanded(true);
        tree->scrollToItem(node->child(count - 1));
        tree->viewport()->repaint();
        state.PauseTiming();
        tree.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["folders"] = count;
}

} // namespace

BENCHMARK(BM_PopulateNode)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpandShownNode)->Arg(10000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
