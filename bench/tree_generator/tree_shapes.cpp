#include "tree_shapes.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "rng.h"

namespace tallyrook::bench {

namespace {

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

class Generator {
public:
    Generator(TreeSink& sink, std::string root, int64_t files, Mix mix, uint64_t seed)
        : sink_(sink), root_(std::move(root)), budget_(files), mix_(mix), rng_(seed) {}

    bool Run() {
        if (!MakeDir(root_))
            return false;
        made_folders_.insert(root_);
        if (mix_ == Mix::Music || mix_ == Mix::Dense)
            MakeArtists();
        int round = 0;
        while (budget_ > 0 && ok_) {
            if (mix_ == Mix::Music || mix_ == Mix::Dense) {
                // Of every 40 turns, albums, photo events, projects and document folders: music
                // 26, 8, 1 and 5 (files about a third tracks, a quarter photos, a quarter source
                // files), dense 20, 11, 2 and 7 (two fifths tracks, a third photos, a sixth
                // documents).
                const bool dense = mix_ == Mix::Dense;
                const int turn = round++ % 40;
                if (turn < (dense ? 20 : 26))
                    LibraryAlbum();
                else if (turn < (dense ? 31 : 34))
                    Photos();
                else if (turn < (dense ? 33 : 35))
                    Source();
                else
                    Documents();
                continue;
            }
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
    TreeSink& sink_;
    std::string root_;
    int64_t budget_;
    Mix mix_;
    Rng rng_;
    bool ok_ = true;
    int64_t serial_ = 0;  // makes sparse names unique
    int photoCounter_ = 1;
    int year_ = 2003;

    std::unordered_set<std::string> made_folders_;

    bool MakeDir(const std::string& path) {
        if (!sink_.MakeFolder(path))
            ok_ = false;
        return ok_;
    }

    void MakeFile(const std::string& folder, const std::string& name, int64_t size) {
        if (budget_ <= 0 || !ok_)
            return;
        const TreeSink::Made made = sink_.MakeFile(folder, name, size);
        // A name drawn twice in one folder: the caller's later draws fill the count.
        if (made == TreeSink::Made::AlreadyThere)
            return;
        if (made == TreeSink::Made::Failed)
            ok_ = false;
        --budget_;
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

    struct Track {
        std::string name;
        int64_t size;
    };

    void WriteAlbum(const std::string& dir, const std::vector<Track>& tracks) {
        for (const Track& track : tracks)
            MakeFile(dir, track.name, track.size);
    }

    // Backup/Music YEAR/name, a fresh folder for an album's copy.
    std::string BackupFolder(const std::string& name) {
        return Fresh(Shared(Shared(root_, "Backup"), "Music " + std::to_string(year_)), name);
    }

    // Music/Artist/Album: 10 to 30 tracks and a cover; now and then a backup copy of the album.
    void Music() {
        const std::string artist = rng_.Pick(Artists);
        const std::string album = rng_.Pick(Words) + ' ' + rng_.Pick(Words);
        const std::string dir = Fresh(Shared(Shared(root_, "Music"), artist), album);
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
        WriteAlbum(dir, tracks);
        if (mix_ == Mix::Realistic && rng_.Chance(15))
            WriteAlbum(BackupFolder(album), tracks);
    }

    // Photos/Year/Year-MM-DD Event: 10 to 50 camera pictures, numbers wrapping at 9999.
    void Photos() {
        if (rng_.Chance(20))
            year_ = year_ >= 2024 ? 2003 : year_ + 1;
        const std::string event = rng_.Pick(Events);
        const std::string day = std::to_string(year_) + '-' + TwoDigits(int(rng_.Range(1, 12))) +
                                '-' + TwoDigits(int(rng_.Range(1, 28))) + ' ' + event;
        const std::string dir = Fresh(Shared(Shared(root_, "Photos"), std::to_string(year_)), day);
        std::vector<std::pair<std::string, int64_t>> shots;
        const int count = int(rng_.Range(10, 50));
        // In the dense mix half the events are renamed "Beach 2019 - 0147.jpg", keeping the
        // camera's number.
        const bool byEvent = mix_ == Mix::Dense && rng_.Chance(50);
        for (int i = 0; i < count; ++i) {
            char name[32];
            if (byEvent)
                std::snprintf(name, sizeof name, " %d - %04d.jpg", year_, photoCounter_);
            else
                std::snprintf(name, sizeof name, "IMG_%04d.JPG", photoCounter_);
            photoCounter_ = photoCounter_ >= 9999 ? 1 : photoCounter_ + 1;
            shots.emplace_back(mix_ == Mix::Sparse ? Unique() + ".jpg"
                               : byEvent           ? event + name
                                                   : std::string(name),
                               Size(1'500'000, 8'000'000));
        }
        for (const auto& [name, size] : shots)
            MakeFile(dir, name, size);
        if (mix_ != Mix::Sparse && rng_.Chance(10)) {
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
            if (mix_ == Mix::Dense && rng_.Chance(25))
                MakeFile(dir, stem + " draft" + ext, rng_.Range(8'000, 3'000'000));
        }
    }

    // The music mix's vocabulary and artists, made once from fixed syllables.
    std::vector<std::string> titleWords_;
    std::vector<std::string> artists_;
    std::vector<uint64_t> artistReach_;  // running sums of the artists' popularity, 1 / rank

    static std::string Capitalised(std::string word) {
        word[0] = char(word[0] - 'a' + 'A');
        return word;
    }

    // 324 title words ("Kalo", "Mira", ...) and 300 artists of one to three words from 256 others
    // ("Dengor", "The Halros Kesvel", ...), the first ones the most popular.
    void MakeArtists() {
        static const std::vector<std::string> titleSyllables = {"ka", "lo", "mi", "ra", "ne", "to",
                                                                "su", "vi", "da", "ze", "po", "ri",
                                                                "ma", "te", "lu", "so", "fe", "ni"};
        static const std::vector<std::string> nameSyllables = {
            "bar", "den", "gor",  "hal", "jor",  "kes", "lin", "mar",
            "nor", "pel", "quin", "ros", "sten", "tor", "vel", "wen"};
        for (const std::string& first : titleSyllables) {
            for (const std::string& second : titleSyllables)
                titleWords_.push_back(Capitalised(first + second));
        }
        std::unordered_set<std::string> taken;
        while (artists_.size() < 300) {
            const int64_t shape = rng_.Range(1, 100);
            const int words = shape <= 30 ? 1 : shape <= 85 ? 2 : 3;
            std::string name = words < 3 && rng_.Chance(20) ? "The" : "";
            for (int i = 0; i < words; ++i) {
                name += (name.empty() ? "" : " ") +
                        Capitalised(rng_.Pick(nameSyllables) + rng_.Pick(nameSyllables));
            }
            if (taken.insert(name).second)
                artists_.push_back(name);
        }
        uint64_t reach = 0;
        for (size_t rank = 1; rank <= artists_.size(); ++rank)
            artistReach_.push_back(reach += 1'000'000'000 / rank);
    }

    // One to five title words, shorter titles more often.
    std::string Title() {
        const int64_t shape = rng_.Range(1, 100);
        const int words = shape <= 30 ? 1 : shape <= 60 ? 2 : shape <= 80 ? 3 : shape <= 92 ? 4 : 5;
        std::string title = rng_.Pick(titleWords_);
        for (int i = 1; i < words; ++i)
            title += ' ' + rng_.Pick(titleWords_);
        return title;
    }

    // Music/Artist/Album in the music mix: 8 to 20 tracks, named one of three ways for the whole
    // album as a ripping program would, and a cover most of the time; about 5 % of the albums are
    // backed up once more. The dense mix's albums have 10 to 20 tracks, four in five of them
    // named "Artist - Album - 07 - Title".
    void LibraryAlbum() {
        const uint64_t pick = rng_.Next() % artistReach_.back();
        const std::string& artist =
            artists_[size_t(std::upper_bound(artistReach_.begin(), artistReach_.end(), pick) -
                            artistReach_.begin())];
        const std::string album = Title();
        const std::string dir = Fresh(Shared(Shared(root_, "Music"), artist), album);
        const bool dense = mix_ == Mix::Dense;
        const int64_t form = rng_.Range(1, 100);
        const bool lossless = form > 60;
        const std::string ext = lossless ? ".flac" : rng_.Chance(85) ? ".mp3" : ".m4a";
        std::vector<Track> tracks;
        const int count = int(rng_.Range(dense ? 10 : 8, 20));
        for (int t = 1; t <= count; ++t) {
            const std::string title = Title();
            const std::string name = form <= (dense ? 80 : 45) ? artist + " - " + album + " - " +
                                                                     TwoDigits(t) + " - " + title
                                     : form <= 60 ? TwoDigits(t) + " - " + title
                                                  : TwoDigits(t) + ' ' + title;
            tracks.push_back({name + ext, lossless ? rng_.Range(15'000'000, 60'000'000)
                                                   : rng_.Range(2'500'000, 12'000'000)});
        }
        if (rng_.Chance(70))
            tracks.push_back({"cover.jpg", rng_.Range(40'000, 400'000)});
        else if (rng_.Chance(50))
            tracks.push_back({"folder.jpg", rng_.Range(40'000, 400'000)});
        WriteAlbum(dir, tracks);
        if (rng_.Chance(5))
            WriteAlbum(BackupFolder(artist + " - " + album), tracks);
    }
};

}  // namespace

bool MixFromName(const std::string& name, Mix& mix) {
    if (name == "realistic")
        mix = Mix::Realistic;
    else if (name == "sparse")
        mix = Mix::Sparse;
    else if (name == "music")
        mix = Mix::Music;
    else if (name == "dense")
        mix = Mix::Dense;
    else
        return false;
    return true;
}

bool MakeTree(TreeSink& sink, const std::string& root, int64_t files, Mix mix, uint64_t seed) {
    return Generator(sink, root, files, mix, seed).Run();
}

}  // namespace tallyrook::bench
