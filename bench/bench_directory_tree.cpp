// Expanding a folder-tree node with many sub-folders: listing, building, sorting, inserting.
#include "OffscreenDefault.h"
#include "ShellNamespace.h"
#include "TVelkoDirectoryTreeview.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <initializer_list>
#include <memory>

namespace {

// One namespace for the whole run: a home folder holding "big<count>" folders with that many
// sub-folders each; every tenth sub-folder has one of its own, so the has-sub-folders test
// sees both answers. Made once, because the namespace's roots must not move under the notifier.
class BenchNamespace
{
public:
    explicit BenchNamespace(std::initializer_list<int> counts)
    {
        mRoot = QFile::encodeName(mDir.path());
        qputenv("VELKO_HOME", mRoot + "/home");
        qputenv("VELKO_DESKTOP_DIR", mRoot + "/desktop");
        qputenv("VELKO_MOUNTINFO", mRoot + "/mountinfo");
        QFile table(QFile::decodeName(mRoot + "/mountinfo"));
        if (table.open(QIODevice::WriteOnly))
            table.close();
        ::mkdir((mRoot + "/home").constData(), 0755);
        for (const int count : counts) {
            const QByteArray big = mRoot + "/home/big" + QByteArray::number(count);
            ::mkdir(big.constData(), 0755);
            for (int i = 0; i < count; ++i) {
                const QByteArray folder = big + "/Folder " + QByteArray::number(i);
                ::mkdir(folder.constData(), 0755);
                if (i % 10 == 0)
                    ::mkdir((folder + "/inner").constData(), 0755);
            }
        }
        ShellNamespace::instance().reset();
    }

private:
    QTemporaryDir mDir;
    QByteArray mRoot;
};

QTreeWidgetItem* bigNode(TVelkoDirectoryTreeview& tree, int count)
{
    const QString name = QStringLiteral("big%1").arg(count);
    QTreeWidgetItem* root = tree.ShowRoot(TVelkoDirectoryTreeview::RootMyDocuments);
    if (!root || !tree.PopulateNode(root))
        return nullptr;
    for (int i = 0; i < root->childCount(); ++i) {
        if (root->child(i)->text(0) == name)
            return root->child(i);
    }
    return nullptr;
}

// PopulateNode alone: list, build the nodes, sort, insert.
void BM_PopulateNode(benchmark::State& state)
{
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TVelkoDirectoryTreeview>();
        QTreeWidgetItem* node = bigNode(*tree, count);
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
    for (auto _ : state) {
        state.PauseTiming();
        auto tree = std::make_unique<TVelkoDirectoryTreeview>();
        tree->resize(300, 600);
        tree->show();
        QTreeWidgetItem* node = bigNode(*tree, count);
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
    useOffscreenUnlessSet();
    QApplication app(argc, argv);
    const BenchNamespace shell{1000, 10000};
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
