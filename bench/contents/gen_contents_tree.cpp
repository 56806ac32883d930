// tallyrook-gen-contents: makes a tree of real bytes for the contents benchmark, about 2 GB at
// scale 1.
//
//   tallyrook-gen-contents [--scale X] [--seed S] OUTPUT
//   tallyrook-gen-contents --small N [--seed S] OUTPUT
//
// The mix: small and large files whose sizes no other file has; exact copies (sets of 2 to 4
// small and medium files, pairs of large ones); pairs of one size that differ in the first byte,
// the middle byte or the last byte, some of them large; a crowd of 300 files of one size with
// 100 different contents; hard links to copies, to files alone in their size and to the pairs
// that differ; empty files. Contents come from a seeded generator: the same seed and scale always
// make the same tree.
//
// With --small: N files of 1 to 19 KB (10 KB on average), as an archive of mails or photos' side
// files has them: a quarter exact copies (in twos and threes), a tenth near-copies (pairs of one
// size parted in the first, middle or last byte), the rest one content each, of sizes that often
// meet by chance; a few hard links and empty files.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tree_generator/rng.h"

namespace {

using tallyrook::bench::Rng;

constexpr int64_t KB = 1000, MB = 1000 * 1000;

class Generator {
public:
    Generator(std::string root, double scale, uint64_t seed)
        : root_(std::move(root)), scale_(scale), rng_(seed), seed_(seed) {}

    bool Run() {
        if (!MakeFolders(12))
            return false;
        std::vector<std::string> alone, copies, differing;
        // Sizes no other file has.
        for (int k = 0; k < Count(3000); ++k)
            alone.push_back(Write(NewContent(), FreeSize(1 * KB, 200 * KB)));
        for (int k = 0; k < Count(6); ++k)
            alone.push_back(Write(NewContent(), FreeSize(20 * MB, 40 * MB)));
        // Exact copies.
        for (int k = 0; k < Count(500); ++k) {
            const uint64_t content = NewContent();
            const int64_t size = FreeSize(1 * KB, 600 * KB);
            for (int64_t m = rng_.Range(2, 4); m > 0; --m)
                copies.push_back(Write(content, size));
        }
        for (int k = 0; k < Count(4); ++k) {
            const uint64_t content = NewContent();
            const int64_t size = FreeSize(40 * MB, 80 * MB);
            copies.push_back(Write(content, size));
            copies.push_back(Write(content, size));
        }
        // Pairs of one size that differ in one byte: the first, the middle or the last.
        for (const int where : {0, 1, 2}) {
            for (int k = 0; k < Count(where == 0 ? 300 : 150) + Count(2); ++k) {
                const bool large = k >= Count(where == 0 ? 300 : 150);
                const int64_t size = large ? FreeSize(25 * MB, 35 * MB)
                                           : FreeSize(where == 0 ? 1 * KB : 8 * KB, 600 * KB);
                const uint64_t content = NewContent();
                const int64_t at = where == 0 ? 0 : where == 1 ? size / 2 : size - 1;
                differing.push_back(Write(content, size));
                differing.push_back(Write(content, size, at));
            }
        }
        // A crowd of one size: 100 contents, most of them in two or three files.
        const int64_t crowdSize = FreeSize(64 * KB, 64 * KB + 999);
        std::vector<uint64_t> crowd(100);
        for (uint64_t& content : crowd)
            content = NewContent();
        for (int k = 0; k < 300; ++k)
            Write(crowd[size_t(k < 100 ? k : rng_.Range(0, 99))], crowdSize);
        // Hard links; links alone in their size make a copy set of their own.
        for (int k = 0; k < Count(150); ++k)
            Link(copies[size_t(rng_.Range(0, int64_t(copies.size()) - 1))]);
        for (int k = 0; k < Count(60); ++k)
            Link(alone[size_t(rng_.Range(0, int64_t(alone.size()) - 1))]);
        for (int k = 0; k < Count(20); ++k)
            Link(differing[size_t(rng_.Range(0, int64_t(differing.size()) - 1))]);
        for (int k = 0; k < 30; ++k)
            Write(NewContent(), 0);
        return ok_;
    }

    bool RunSmall(int64_t count) {
        if (!MakeFolders(40))
            return false;
        const auto size = [this] { return rng_.Range(1 * KB, 19 * KB); };
        std::vector<std::string> some;
        while (files_ < count / 4) {
            const uint64_t content = NewContent();
            const int64_t bytes = size();
            for (int64_t m = rng_.Range(2, 3); m > 0; --m)
                some.push_back(Write(content, bytes));
        }
        for (int64_t k = 0; k < count / 20; ++k) {
            const uint64_t content = NewContent();
            const int64_t bytes = size();
            Write(content, bytes);
            Write(content, bytes, k % 3 == 0 ? 0 : k % 3 == 1 ? bytes / 2 : bytes - 1);
        }
        for (int k = 0; k < 30; ++k)
            Write(NewContent(), 0);
        for (int64_t k = 0; k < count / 1000; ++k)
            Link(some[size_t(rng_.Range(0, int64_t(some.size()) - 1))]);
        while (files_ < count && ok_)
            some.push_back(Write(NewContent(), size()));
        return ok_;
    }

    int64_t files() const { return files_; }
    int64_t bytes() const { return bytes_; }

private:
    std::string root_;
    double scale_;
    Rng rng_;
    uint64_t seed_;
    bool ok_ = true;
    std::vector<std::string> folders_;
    std::set<int64_t> sizes_;
    uint64_t contents_ = 0;
    int64_t files_ = 0;
    int64_t bytes_ = 0;
    std::unique_ptr<char[]> buffer_{new char[1 << 20]};

    bool MakeFolders(int perTop) {
        MakeDir(root_);
        for (const char* top : {"Music", "Photos", "Documents", "Video", "Backup"}) {
            MakeDir(root_ + '/' + top);
            for (int k = 1; k <= perTop; ++k)
                folders_.push_back(MakeDir(root_ + '/' + top + "/folder " + std::to_string(k)));
        }
        return ok_;
    }

    int Count(int atScaleOne) const { return std::max(1, int(atScaleOne * scale_ + 0.5)); }
    uint64_t NewContent() { return ++contents_; }

    std::string MakeDir(const std::string& path) {
        if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            std::perror(path.c_str());
            ok_ = false;
        }
        return path;
    }

    // A size in [low, high] that no other file of the tree has.
    int64_t FreeSize(int64_t low, int64_t high) {
        for (;;) {
            const int64_t size = rng_.Range(low, high);
            if (sizes_.insert(size).second)
                return size;
        }
    }

    std::string NewPath() {
        const std::string& folder = folders_[size_t(rng_.Range(0, int64_t(folders_.size()) - 1))];
        return folder + "/file " + std::to_string(files_ + 1) + ".bin";
    }

    // A file of the content's bytes, with the byte at `flip` changed.
    std::string Write(uint64_t content, int64_t size, int64_t flip = -1) {
        const std::string path = NewPath();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::perror(path.c_str());
            ok_ = false;
            return path;
        }
        Rng bytes(seed_ * 0x100000001b3ULL ^ content);
        for (int64_t done = 0; done < size && ok_;) {
            const int64_t length = std::min<int64_t>(size - done, 1 << 20);
            for (int64_t i = 0; i < length; i += 8) {
                const uint64_t word = bytes.Next();
                std::memcpy(buffer_.get() + i, &word, size_t(std::min<int64_t>(8, length - i)));
            }
            if (flip >= done && flip < done + length)
                buffer_[size_t(flip - done)] = char(buffer_[size_t(flip - done)] ^ 0x55);
            if (::write(fd, buffer_.get(), size_t(length)) != length) {
                std::perror(path.c_str());
                ok_ = false;
            }
            done += length;
        }
        ::close(fd);
        ++files_;
        bytes_ += size;
        return path;
    }

    void Link(const std::string& target) {
        const std::string path = NewPath();
        if (::link(target.c_str(), path.c_str()) != 0) {
            std::perror(path.c_str());
            ok_ = false;
        }
        ++files_;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes a tree of real bytes for the contents benchmark."));
    parser.addHelpOption();
    const QCommandLineOption scale(QStringLiteral("scale"),
                                   QStringLiteral("Size of the tree, 1 for about 2 GB."),
                                   QStringLiteral("X"), QStringLiteral("1"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed."),
                                  QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption small(QStringLiteral("small"),
                                   QStringLiteral("N small files instead (10 KB on average)."),
                                   QStringLiteral("N"), QStringLiteral("0"));
    parser.addOption(scale);
    parser.addOption(seed);
    parser.addOption(small);
    parser.addPositionalArgument(QStringLiteral("output"),
                                 QStringLiteral("Folder to make the tree in."));
    parser.process(app);
    bool scaleOk = false, seedOk = false;
    const double scaleValue = parser.value(scale).toDouble(&scaleOk);
    const quint64 seedValue = parser.value(seed).toULongLong(&seedOk);
    bool smallOk = false;
    const qint64 smallCount = parser.value(small).toLongLong(&smallOk);
    if (!scaleOk || scaleValue <= 0 || !seedOk || !smallOk || smallCount < 0 ||
        parser.positionalArguments().size() != 1) {
        QTextStream(stderr) << parser.helpText();
        return 2;
    }
    Generator generator(parser.positionalArguments().first().toStdString(), scaleValue, seedValue);
    if (!(smallCount > 0 ? generator.RunSmall(smallCount) : generator.Run()))
        return 1;
    QTextStream(stdout) << generator.files() << " files, " << generator.bytes() << " bytes\n";
    return 0;
}
