// tallyrook-gen-tree: makes a folder tree shaped like a real collection, for the benchmarks.
//
//   tallyrook-gen-tree --files N [--mix realistic|sparse|music|dense] [--seed S] OUTPUT
//
// The mixes are described in tree_shapes.h. Files are sparse: their sizes cost no disk space. The
// same seed always makes the same tree.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <cerrno>
#include <cstdio>

#include "tree_shapes.h"

namespace {

using tallyrook::bench::TreeSink;

class DiskSink : public TreeSink {
public:
    int64_t files = 0;
    int64_t folders = 0;

    bool MakeFolder(const std::string& path) override {
        if (::mkdir(path.c_str(), 0755) == 0) {
            ++folders;
            return true;
        }
        if (errno == EEXIST)
            return true;
        std::perror(path.c_str());
        return false;
    }

    Made MakeFile(const std::string& folder, const std::string& name, int64_t size) override {
        const std::string path = folder + '/' + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
            return Made::AlreadyThere;
        bool ok = fd >= 0 && ::ftruncate(fd, size) == 0;
        if (!ok)
            std::perror(path.c_str());
        if (fd >= 0)
            ::close(fd);
        ++files;
        return ok ? Made::Yes : Made::Failed;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tallyrook-gen-tree"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes a folder tree of sparse files shaped like a real collection."));
    parser.addHelpOption();
    const QCommandLineOption files(QStringLiteral("files"),
                                   QStringLiteral("Number of files to make."), QStringLiteral("N"),
                                   QStringLiteral("100000"));
    const QCommandLineOption mix(
        QStringLiteral("mix"),
        QStringLiteral("realistic (many equal names and sizes), sparse "
                       "(few), music (a large music library) or dense (most names have "
                       "partners)."),
        QStringLiteral("MIX"), QStringLiteral("realistic"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed."),
                                  QStringLiteral("S"), QStringLiteral("1"));
    parser.addOption(files);
    parser.addOption(mix);
    parser.addOption(seed);
    parser.addPositionalArgument(QStringLiteral("output"),
                                 QStringLiteral("Folder to make the tree in."));
    parser.process(app);

    QTextStream err(stderr);
    bool ok = false;
    const qint64 count = parser.value(files).toLongLong(&ok);
    tallyrook::bench::Mix shape{};
    bool seedOk = false;
    const quint64 seedValue = parser.value(seed).toULongLong(&seedOk);
    if (!ok || count < 0 || !seedOk || parser.positionalArguments().size() != 1 ||
        !tallyrook::bench::MixFromName(parser.value(mix).toStdString(), shape)) {
        err << parser.helpText();
        return 2;
    }

    DiskSink disk;
    if (!tallyrook::bench::MakeTree(disk, parser.positionalArguments().first().toStdString(), count,
                                    shape, seedValue))
        return 1;
    QTextStream(stdout) << disk.files << " files in " << disk.folders << " folders\n";
    return 0;
}
