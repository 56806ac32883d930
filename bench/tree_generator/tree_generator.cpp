// tallyrook-gen-tree: makes a folder tree shaped like a real collection, for the benchmarks.
//
//   tallyrook-gen-tree --files N [--mix realistic|sparse] [--seed S] OUTPUT
//
// "realistic": music albums ("Artist - Album - 01 - Title.mp3"), camera folders
// ("IMG_1234.JPG"), source trees full of "index.js" and "README.md", office documents with
// "final (1)" copies, and backup copies of some folders: many equal names and sizes.
// "sparse": the same shape, but names and sizes almost never repeat, so a search over a million
// files yields few rows in every pass.
//
// Files are sparse: their sizes cost no disk space. The same seed always makes the same tree.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "rng.h"

namespace {

using tallyrook::bench::Rng;

const std::vector<std::string> Artists = {
    "Amber Lane",  "The Night Owls", "Kasimir",      "Lena Voss",       "Blue Harbour",
    "Okapi Drive", "Mara Lind",      "The Lanterns", "Jonas Brandt",    "Velvet Static",
    "Saltwater",   "Iris Moreau",    "North Fields", "The Paper Kites", "Cobalt Youth",
    "Ruth Adler",  "Glass Animals",  "Ode to Noon",  "Pablo Serrano",   "Hollow Pines",
    "Yuki Tanaka", "Brass Monkeys",  "Fenwick",      "Sofia Reyes",     "Low Tide"};
const std::vector<std::string> Words = {
    "Love",  "Night",   "Summer", "River", "Light",  "Home",  "Blue",  "Fire",   "Rain",
    "Heart", "Road",    "Dream",  "Stars", "Winter", "Gold",  "Ocean", "Silver", "Shadow",
    "Echo",  "Morning", "Wild",   "Stone", "Song",   "Dance", "City",  "Moon",   "Garden"};
const std::vector<std::string> Events = {"Beach", "Birthday", "Wedding",     "Hiking", "Christmas",
                                         "Paris", "Garden",   "School play", "Zoo",    "Camping"};
const std::vector<std::string> Topics = {"Taxes",  "Work",   "School", "House",   "Car",
                                         "Health", "Travel", "Bank",   "Letters", "Recipes"};
const std::vector<std::string> DocStems = {"Report", "Budget",   "Invoice", "Minutes", "CV",
                                           "Letter", "Contract", "Plan",    "Notes",   "Summary"};
const std::vector<std::string> DocExts = {".docx", ".xlsx", ".pdf", ".odt", ".txt", ".pptx"};
const std::vector<std::string> Packages = {"lodash", "react", "express", "chalk",  "debug",
                                           "moment", "axios", "uuid",    "semver", "yargs"};
const std::vector<std::string> SourceNames = {
    "index.js", "README.md",  "package.json", "LICENSE", "utils.js",     "index.d.ts",
    "main.css", "helpers.js", "config.json",  "test.js", "CHANGELOG.md", "yarn.lock"};

enum class Mix { Realistic, Sparse };

class Generator {
public:
    Generator(std::string root, int64_t files, Mix mix, uint64_t seed)
        : root_(std::move(root)), budget_(files), mix_(mix), rng_(seed) {}

    int64_t made() const { return made_; }
    int64_t folders() const { return folders_; }

    bool Run() {
        if (!MakeDir(root_))
            return false;
        made_folders_.insert(root_);
        int round = 0;
        while (budget_ > 0 && ok_) {
            switch (round++ % 10) {
                case 0:
                case 1:
                case 2:
                case 3:
                    Music();
                    break;
                case 4:
                case 5:
                case 6:
                    Photos();
                    break;
                case 7:
                case 8:
                    Source();
                    break;
                default:
                    Documents();
                    break;
            }
        }
        return ok_;
    }

private:
    std::string root_;
    int64_t budget_;
    Mix mix_;
    Rng rng_;
    bool ok_ = true;
    int64_t made_ = 0;
    int64_t folders_ = 0;
    int64_t serial_ = 0;  // makes sparse names unique
    int photoCounter_ = 1;
    int year_ = 2003;

    std::unordered_set<std::string> made_folders_;

    bool MakeDir(const std::string& path) {
        if (::mkdir(path.c_str(), 0755) == 0) {
            ++folders_;
            return true;
        }
        if (errno == EEXIST)
            return true;
        std::perror(path.c_str());
        ok_ = false;
        return false;
    }

    void MakeFile(const std::string& folder, const std::string& name, int64_t size) {
        if (budget_ <= 0 || !ok_)
            return;
        const std::string path = folder + '/' + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        // A name drawn twice in one folder: the caller's later draws fill the count.
        if (fd < 0 && errno == EEXIST)
            return;
        if (fd < 0 || ::ftruncate(fd, size) != 0) {
            std::perror(path.c_str());
            ok_ = false;
        }
        if (fd >= 0)
            ::close(fd);
        --budget_;
        ++made_;
    }

    // A word that no other name uses: base-36 of a scrambled serial (multiplying by an odd
    // number is a bijection, so no two serials give the same word).
    std::string Unique() {
        uint64_t v = uint64_t(++serial_) * 0x9e3779b97f4a7c15ULL;
        std::string word;
        do {
            word += "0123456789abcdefghijklmnopqrstuvwxyz"[v % 36];
            v /= 36;
        } while (v);
        return word;
    }
    // Sizes for the sparse mix: spread over 4 GB, so equal sizes are rare.
    int64_t SparseSize() { return rng_.Range(1, 4'000'000'000); }

    int64_t Size(int64_t low, int64_t high) {
        return mix_ == Mix::Sparse ? SparseSize() : rng_.Range(low, high);
    }

    // A folder that many calls share, such as "Music" or an artist's folder.
    std::string Shared(const std::string& parent, const std::string& name) {
        const std::string path = parent + '/' + name;
        if (made_folders_.insert(path).second)
            MakeDir(path);
        return path;
    }

    // A folder of its own, so that folders keep 10 to 50 files: "Name", "Name (2)", ... or, in
    // the sparse mix, a name no other folder has.
    std::string Fresh(const std::string& parent, const std::string& name) {
        std::string path = parent + '/' + (mix_ == Mix::Sparse ? name + ' ' + Unique() : name);
        for (int n = 2; !made_folders_.insert(path).second; ++n)
            path = parent + '/' + name + " (" + std::to_string(n) + ')';
        MakeDir(path);
        return path;
    }

    std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

    // Music/Artist/Album: 10 to 30 tracks and a cover; now and then a backup copy of the album.
    void Music() {
        const std::string artist = rng_.Pick(Artists);
        const std::string album = rng_.Pick(Words) + ' ' + rng_.Pick(Words);
        const std::string dir = Fresh(Shared(Shared(root_, "Music"), artist), album);
        struct Track {
            std::string name;
            int64_t size;
        };
        std::vector<Track> tracks;
        const int count = int(rng_.Range(10, 30));
        for (int t = 1; t <= count; ++t) {
            std::string name;
            if (mix_ == Mix::Sparse)
                name = Unique() + ".mp3";
            else
                name = artist + " - " + album + " - " + TwoDigits(t) + " - " + rng_.Pick(Words) +
                       ' ' + rng_.Pick(Words) + ".mp3";
            tracks.push_back({name, Size(2'500'000, 12'000'000)});
        }
        tracks.push_back(
            {mix_ == Mix::Sparse ? Unique() + ".jpg" : "cover.jpg", Size(40'000, 400'000)});
        for (const Track& track : tracks)
            MakeFile(dir, track.name, track.size);
        if (mix_ == Mix::Realistic && rng_.Chance(15)) {
            const std::string copy =
                Fresh(Shared(Shared(root_, "Backup"), "Music " + std::to_string(year_)), album);
            for (const Track& track : tracks)
                MakeFile(copy, track.name, track.size);
        }
    }

    // Photos/Year/Year-MM-DD Event: 10 to 50 camera pictures, numbers wrapping at 9999.
    void Photos() {
        if (rng_.Chance(20))
            year_ = year_ >= 2024 ? 2003 : year_ + 1;
        const std::string day = std::to_string(year_) + '-' + TwoDigits(int(rng_.Range(1, 12))) +
                                '-' + TwoDigits(int(rng_.Range(1, 28))) + ' ' + rng_.Pick(Events);
        const std::string dir = Fresh(Shared(Shared(root_, "Photos"), std::to_string(year_)), day);
        std::vector<std::pair<std::string, int64_t>> shots;
        const int count = int(rng_.Range(10, 50));
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "IMG_%04d.JPG", photoCounter_);
            photoCounter_ = photoCounter_ >= 9999 ? 1 : photoCounter_ + 1;
            shots.emplace_back(mix_ == Mix::Sparse ? Unique() + ".jpg" : std::string(name),
                               Size(1'500'000, 8'000'000));
        }
        for (const auto& [name, size] : shots)
            MakeFile(dir, name, size);
        if (mix_ == Mix::Realistic && rng_.Chance(10)) {
            const std::string copy = Fresh(Shared(root_, "Phone import"), day);
            for (const auto& [name, size] : shots)
                MakeFile(copy, name, size);
        }
    }

    // A project with nested source folders and packages, down to eight levels below the root.
    void Source() {
        const std::string project =
            Fresh(Shared(root_, "Projects"), rng_.Pick(Words) + '-' + rng_.Pick(Words));
        SourceFolder(project, 2);
        const std::string modules = Fresh(project, "node_modules");
        const int packages = int(rng_.Range(1, 4));
        for (int p = 0; p < packages; ++p)
            SourceFolder(Fresh(modules, rng_.Pick(Packages)), 4);
    }

    void SourceFolder(const std::string& dir, int depth) {
        const int count = int(rng_.Range(10, 25));
        for (int i = 0; i < count && budget_ > 0; ++i) {
            std::string name;
            if (mix_ == Mix::Sparse)
                name = Unique() + ".js";
            else if (i < int(SourceNames.size()))
                name = SourceNames[size_t(i)];
            else
                name = rng_.Pick(Words) + std::to_string(i) + ".js";
            // License texts and small configs come in a few common sizes.
            const int64_t size =
                name == "LICENSE" ? 1076 + 10 * rng_.Range(0, 3) : Size(120, 30'000);
            MakeFile(dir, name, mix_ == Mix::Sparse ? SparseSize() : size);
        }
        if (depth >= 8 || budget_ <= 0)
            return;
        const int subfolders = int(rng_.Range(0, 2));
        static const std::vector<std::string> kinds = {"src",   "lib",  "components",
                                                       "utils", "test", "dist"};
        for (int s = 0; s < subfolders; ++s)
            SourceFolder(Fresh(dir, rng_.Pick(kinds)), depth + 1);
    }

    // Documents/Topic: drafts with "final" and "(1)" copies of the same file.
    void Documents() {
        const std::string dir = Fresh(Shared(Shared(root_, "Documents"), rng_.Pick(Topics)),
                                      std::to_string(year_) + ' ' + rng_.Pick(Words));
        const int count = int(rng_.Range(10, 40));
        for (int i = 0; i < count && budget_ > 0; ++i) {
            if (mix_ == Mix::Sparse) {
                MakeFile(dir, Unique() + rng_.Pick(DocExts), SparseSize());
                continue;
            }
            const std::string stem = rng_.Pick(DocStems) + ' ' + std::to_string(year_);
            const std::string ext = rng_.Pick(DocExts);
            const int64_t size = rng_.Range(8'000, 3'000'000);
            MakeFile(dir, stem + ext, size);
            if (rng_.Chance(30))
                MakeFile(dir, stem + " final" + ext, size);
            if (rng_.Chance(20))
                MakeFile(dir, stem + " final (1)" + ext, size);
        }
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
    const QCommandLineOption mix(QStringLiteral("mix"),
                                 QStringLiteral("realistic (many equal names and sizes) or sparse "
                                                "(few)."),
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
    const QString mixName = parser.value(mix);
    bool seedOk = false;
    const quint64 seedValue = parser.value(seed).toULongLong(&seedOk);
    if (!ok || count < 0 || !seedOk || parser.positionalArguments().size() != 1 ||
        (mixName != QStringLiteral("realistic") && mixName != QStringLiteral("sparse"))) {
        err << parser.helpText();
        return 2;
    }

    Generator generator(parser.positionalArguments().first().toStdString(), count,
                        mixName == QStringLiteral("sparse") ? Mix::Sparse : Mix::Realistic,
                        seedValue);
    if (!generator.Run())
        return 1;
    QTextStream(stdout) << generator.made() << " files in " << generator.folders() << " folders\n";
    return 0;
}
