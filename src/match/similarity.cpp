#include "match/similarity.h"

#include <QHashFunctions>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace tallyrook {

namespace {

bool IsAscii(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

}  // namespace

PreparedNames::PreparedNames(const QLocale& locale) : locale_(locale) {
    for (Shard& shard : shards_)
        shard.slots.assign(8, 0);
    // Where the locale upper-cases ASCII letters like the C locale does, ASCII words skip the
    // locale's (allocating) upper-casing. Turkish, for one, maps "i" to a dotted capital I.
    const QString lower = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    asciiUpperIsPlain_ = locale_.toUpper(lower) == lower.toUpper();
}

void PreparedNames::Reserve(qsizetype names, qsizetype characters, qsizetype words) {
    const auto more = [](auto& list, qsizetype count) {
        list.reserve(list.size() + size_t(count));
    };
    more(wordCounts_, names);
    more(starts_, names);
    more(words_, words);
    // Distinct words are no more, nor longer, than those of the names (unless upper-casing
    // lengthens one, as "\u00df" to "SS": then a list may still grow).
    more(text_, characters);
    more(wordOffsets_, words);
    more(wordLengths_, words);
    more(wordHashes_, words);
}

int PreparedNames::Add(QStringView name) {
    ids_.clear();
    qsizetype start = 0;
    for (;;) {
        const qsizetype blank = name.indexOf(u' ', start);
        const QStringView word = blank < 0 ? name.sliced(start) : name.sliced(start, blank - start);
        if (asciiUpperIsPlain_ && IsAscii(word)) {
            upper_.resize(size_t(word.size()));
            std::transform(word.begin(), word.end(), upper_.begin(), [](QChar c) {
                const char16_t u = c.unicode();
                return u >= u'a' && u <= u'z' ? char16_t(u - (u'a' - u'A')) : u;
            });
            ids_.push_back(Intern(QStringView(upper_.data(), qsizetype(upper_.size()))));
        } else {
            ids_.push_back(Intern(locale_.toUpper(word.toString())));
        }
        if (blank < 0)
            break;
        start = blank + 1;
    }

    const int number = NameCount();
    wordCounts_.push_back(quint32(ids_.size()));
    std::sort(ids_.begin(), ids_.end());
    for (size_t i = 0; i < ids_.size();) {
        size_t j = i + 1;
        while (j < ids_.size() && ids_[j] == ids_[i])
            ++j;
        words_.push_back({ids_[i], quint32(j - i)});
        i = j;
    }
    starts_.push_back(words_.size());
    return number;
}

quint32 PreparedNames::Intern(QStringView upperWord) {
    // Seeded like Qt's own tables, so words crafted to collide cannot make the table quadratic.
    const size_t hash = qHash(upperWord, QHashSeed::globalSeed());
    Shard& shard = shards_[hash >> (std::numeric_limits<size_t>::digits - ShardBits)];
    for (size_t mask = shard.slots.size() - 1, slot = hash & mask;; slot = (slot + 1) & mask) {
        const quint32 entry = shard.slots[slot];
        if (entry == 0)
            break;
        const quint32 id = entry - 1;
        if (wordHashes_[id] == hash && wordLengths_[id] == size_t(upperWord.size()) &&
            std::equal(upperWord.begin(), upperWord.end(), text_.begin() + wordOffsets_[id])) {
            return id;
        }
    }
    const quint32 id = quint32(wordLengths_.size());
    wordOffsets_.push_back(quint32(text_.size()));
    wordLengths_.push_back(quint32(upperWord.size()));
    wordHashes_.push_back(hash);
    for (QChar c : upperWord)
        text_.push_back(c.unicode());
    if (++shard.words * 2 > shard.slots.size())
        Grow(shard);
    const size_t mask = shard.slots.size() - 1;
    size_t slot = hash & mask;
    while (shard.slots[slot] != 0)
        slot = (slot + 1) & mask;
    shard.slots[slot] = id + 1;
    return id;
}

void PreparedNames::Grow(Shard& shard) {
    const std::vector<quint32> old = std::exchange(shard.slots, {});
    shard.slots.assign(old.size() * 2, 0);
    const size_t mask = shard.slots.size() - 1;
    for (const quint32 entry : old) {
        if (entry == 0)
            continue;
        size_t slot = wordHashes_[entry - 1] & mask;
        while (shard.slots[slot] != 0)
            slot = (slot + 1) & mask;
        shard.slots[slot] = entry;
    }
}

bool PreparedNames::SimilarWords(std::span<const Word> a, quint32 firstCount,
                                 std::span<const Word> b, quint32 secondCount) {
    quint64 matches = 0;
    for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
        if (a[i].id < b[j].id) {
            ++i;
        } else if (b[j].id < a[i].id) {
            ++j;
        } else {
            matches += a[i].count;  // a repeated word of the first name counts each time
            ++i;
            ++j;
        }
    }
    // ratio = matches / larger count; rounded half to even it is 1 exactly when it exceeds 1/2.
    const quint64 larger = std::max(firstCount, secondCount);
    return 2 * matches > larger;
}

}  // namespace tallyrook
