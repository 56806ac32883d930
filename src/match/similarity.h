#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>
#include <array>
#include <span>
#include <vector>

namespace tallyrook {

// The similarity rule: two names are similar when more than half of the larger word list is
// matched, the words split at every blank (empty words count) and compared upper-cased, each word
// of the first name counted once if the second has it.
//
// Names split and upper-cased once, for comparing many pairs. Every distinct upper-cased word
// gets a number, and a name keeps its distinct word numbers sorted, each with how often it
// occurs, so Similar() is a merge of two short arrays and allocates nothing.
class PreparedNames {
public:
    struct Word {
        quint32 id;     // number of the upper-cased word
        quint32 count;  // how often the name has it
    };

    explicit PreparedNames(const QLocale& locale = QLocale::system());

    // Room for this many more names, with at most this many characters and words in all, so
    // that no list is copied to a larger one while names are added (the caller lets the window
    // breathe between adds, not inside one).
    void Reserve(qsizetype names, qsizetype characters, qsizetype words);
    // Adds a name and returns its number (0, 1, 2, ... in the order added).
    int Add(QStringView name);

    int NameCount() const { return static_cast<int>(wordCounts_.size()); }
    // Words of the name, empty words and repeats included (SplitWords' count).
    int WordCount(int name) const { return static_cast<int>(wordCounts_[size_t(name)]); }
    // The name's distinct words, sorted by id.
    std::span<const Word> Words(int name) const {
        return {words_.data() + starts_[size_t(name)], words_.data() + starts_[size_t(name) + 1]};
    }
    int DistinctWordCount() const { return static_cast<int>(wordLengths_.size()); }

    // NamesAreSimilar of the two names as added, first one first.
    bool Similar(int first, int second) const {
        return SimilarWords(Words(first), wordCounts_[size_t(first)], Words(second),
                            wordCounts_[size_t(second)]);
    }
    // The same, of two names' distinct words and word counts.
    static bool SimilarWords(std::span<const Word> first, quint32 firstCount,
                             std::span<const Word> second, quint32 secondCount);

private:
    // The word table is split by the top bits of a word's hash into shards that grow on their
    // own: growing one rehashes a few thousand words, never a million at once.
    static constexpr int ShardBits = 8;
    struct Shard {
        std::vector<quint32> slots;  // word numbers + 1 (0 = free slot), open addressing
        size_t words = 0;
    };

    quint32 Intern(QStringView upperWord);
    void Grow(Shard& shard);

    QLocale locale_;
    bool asciiUpperIsPlain_ = true;  // the locale upper-cases a-z to A-Z (not so in Turkish)

    // The dictionary of upper-cased words: their characters back to back, and the word table.
    std::vector<char16_t> text_;
    std::vector<quint32> wordOffsets_;
    std::vector<quint32> wordLengths_;
    std::vector<size_t> wordHashes_;
    std::array<Shard, 1 << ShardBits> shards_;

    std::vector<Word> words_;
    std::vector<size_t> starts_{0};
    std::vector<quint32> wordCounts_;

    // Scratch space reused by Add.
    std::vector<char16_t> upper_;
    std::vector<quint32> ids_;
};

}  // namespace tallyrook
