// Writes a test diary for the benchmarks: one entry of 0.5 to 4 KiB of code
// page 932 text for every day of a run of years, some of them locked under a
// fixed password. The same options always give the same bytes: the text
// comes from a fixed word list and a Mersenne Twister whose output the
// standard fixes (no library distributions, which differ between libraries).
//
// usage: kuv_make_diary [--years N] [--first-year Y] [--seed S]
//                       [--locked-percent P] [--password P] --out DIR
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/cryptogram.h"
#include "dates/calendar.h"
#include "platform/cp932.h"
#include "platform/fileio.h"

namespace {

struct Options {
    int years = 30;
    int firstYear = 1995;
    std::uint64_t seed = 20010117;
    int lockedPercent = 10;
    std::string password = "kuvandoro";  // the benchmarks' fixed password
    std::string out;
};

// Words by kind; every one is written in code page 932. The mix gives kanji,
// both kana, half-width katakana, ASCII and full-width letters and digits.
const char* const kKanji[] = {
    "東京", "大阪",   "京都",   "会社", "電車", "天気", "友達", "映画",   "図書館", "散歩",
    "料理", "仕事",   "会議",   "旅行", "季節", "夕方", "朝食", "昼休み", "新聞",   "手紙",
    "雨",   "雪",     "桜",     "海",   "山",   "駅",   "公園", "病院",   "学校",   "先生",
    "家族", "誕生日", "買い物", "掃除", "洗濯", "宿題", "試験", "予定",   "約束",   "週末",
};
const char* const kKana[] = {
    "ねこ",     "いぬ",   "コーヒー",     "パン",   "ケーキ", "ラーメン",
    "テレビ",   "メール", "パソコン",     "ゲーム", "ピアノ", "サッカー",
    "ガソリン", "バス",   "ヴァイオリン", "ぱんだ", "ばなな", "ハンバーグ",
    "おにぎり", "たまご", "みかん",       "すいか", "ネコ",   "タクシー",
};
const char* const kHalfWidth[] = {"ﾃﾞｰﾀ", "ｶﾞｿﾘﾝ", "ｺｰﾋｰ", "ﾊﾟｽﾀ", "ﾒｰﾙ", "ﾈｺ", "ﾊﾞｽ", "ｹｰｷ"};
const char* const kAscii[] = {"OK",  "PC",  "Linux", "email", "Tokyo", "10:30",
                              "2km", "ABC", "TODO",  "memo",  "web",   "3F"};
const char* const kFullWidth[] = {"ＰＣ", "ＯＫ",     "１２時",    "ＡＢＣ",
                                  "３階", "ＴＯＤＯ", "Ｔｏｋｙｏ"};
// Single kanji that pair up into rarer two-character words, so that a query
// for one of them finds tens of days rather than all of them.
const char* const kRareKanji[] = {
    "日", "月", "火", "水", "木", "金", "土", "山", "川", "田", "人", "口", "目", "耳", "手",
    "足", "力", "男", "女", "子", "学", "生", "先", "年", "大", "小", "中", "上", "下", "左",
    "右", "天", "気", "雨", "花", "草", "竹", "石", "糸", "車", "町", "村", "森", "林", "空",
    "夕", "名", "字", "文", "本", "早", "正", "音", "赤", "青", "白", "立", "休", "出", "入",
    "見", "虫", "貝", "王", "玉", "犬", "円", "百", "千", "校", "夏", "冬", "春", "秋", "朝",
    "昼", "夜", "晩", "道", "路", "線", "店", "家", "親", "話", "語", "読", "書", "聞", "歌",
};
const char* const kParticles[] = {"は", "が", "を",   "に",   "で", "と",
                                  "の", "へ", "から", "まで", "も"};
const char* const kEndings[] = {
    "行った。", "見た。",     "食べた。",     "楽しかった。", "疲れた。",   "雨だった。",
    "書いた。", "思う。",     "待っていた。", "忘れていた。", "よかった。", "〜と思った。",
    "した！",   "だろうか？", "（メモ）",     "した。",
};

class Random {
  public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    // Uniform enough for test text: the engine's output reduced by modulo.
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(engine_() % n); }
    bool Percent(int p) { return Below(100) < static_cast<std::size_t>(p); }

  private:
    std::mt19937_64 engine_;
};

struct WordLists {
    std::vector<std::string> kanji, kana, halfWidth, ascii, fullWidth, rareKanji, particles,
        endings;
};

std::vector<std::string> ToCp932(const char* const* words, std::size_t n) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < n; ++i) {
        auto bytes = kuv::cp932::FromUtf8(words[i]);
        if (!bytes) {
            std::fprintf(stderr, "kuv_make_diary: word %s is not code page 932\n", words[i]);
            std::exit(1);
        }
        out.push_back(*bytes);
    }
    return out;
}

template <std::size_t N>
std::vector<std::string> ToCp932(const char* const (&words)[N]) {
    return ToCp932(words, N);
}

const std::string& Pick(Random& rng, const std::vector<std::string>& words) {
    return words[rng.Below(words.size())];
}

// One sentence: a few noun-particle pairs and an ending.
void AppendSentence(Random& rng, const WordLists& w, std::string& out) {
    const std::size_t phrases = 1 + rng.Below(4);
    for (std::size_t i = 0; i < phrases; ++i) {
        const std::size_t kind = rng.Below(22);
        if (kind >= 20) {
            out += Pick(rng, w.rareKanji);
            out += Pick(rng, w.rareKanji);
        } else if (kind < 10) {
            out += Pick(rng, w.kanji);
        } else if (kind < 15) {
            out += Pick(rng, w.kana);
        } else if (kind < 17) {
            out += Pick(rng, w.halfWidth);
        } else if (kind < 19) {
            out += Pick(rng, w.ascii);
            out += ' ';
        } else {
            out += Pick(rng, w.fullWidth);
        }
        out += Pick(rng, w.particles);
    }
    out += Pick(rng, w.endings);
}

// An entry of size bytes or a little less, in CR LF lines of 20 to 80 bytes.
std::string EntryText(Random& rng, const WordLists& w, std::size_t size) {
    std::string text;
    std::string line;
    while (true) {
        line.clear();
        const std::size_t lineLength = 20 + rng.Below(61);
        while (line.size() < lineLength) AppendSentence(rng, w, line);
        if (text.size() + line.size() + 2 > size) break;
        text += line;
        text += "\r\n";
    }
    return text;
}

// The container in memory, by the project's own container code; no date,
// so that the same options always give the same bytes.
std::string Locked(const std::string& plain, const std::string& key) {
    return kuv::CryptEncodeBytes(plain, 0, key).value_or(std::string());
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    kuv::fsio::OutFile out;
    return out.Create(path) && out.Write(bytes.data(), bytes.size()) && out.Close();
}

int Usage() {
    std::fputs(
        "usage: kuv_make_diary [--years N] [--first-year Y] [--seed S]\n"
        "                      [--locked-percent P] [--password P] --out DIR\n"
        "Writes DIR/yyyy/mmdd.dia (or .xda) for every day; DIR must not exist yet.\n",
        stderr);
    return 2;
}

bool ParseNumber(const char* text, long long low, long long high, long long& out) {
    char* end = nullptr;
    out = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && out >= low && out <= high;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i + 1 >= argc) return Usage();
        const char* value = argv[++i];
        long long n = 0;
        if (arg == "--years" && ParseNumber(value, 1, 200, n)) {
            opt.years = static_cast<int>(n);
        } else if (arg == "--first-year" && ParseNumber(value, 1, 9000, n)) {
            opt.firstYear = static_cast<int>(n);
        } else if (arg == "--seed" && ParseNumber(value, 0, INT64_MAX, n)) {
            opt.seed = static_cast<std::uint64_t>(n);
        } else if (arg == "--locked-percent" && ParseNumber(value, 0, 100, n)) {
            opt.lockedPercent = static_cast<int>(n);
        } else if (arg == "--password" && kuv::CryptKeyStorable(value)) {
            opt.password = value;
        } else if (arg == "--out") {
            opt.out = value;
        } else {
            return Usage();
        }
    }
    if (opt.out.empty() || opt.firstYear + opt.years - 1 > 9999) return Usage();
    // A diary is never written over: the folder must be new.
    if (!kuv::fsio::MakeDirectory(opt.out)) {
        std::fprintf(stderr, "kuv_make_diary: cannot create %s (it must not exist yet)\n",
                     opt.out.c_str());
        return 1;
    }

    const WordLists words{ToCp932(kKanji),     ToCp932(kKana),      ToCp932(kHalfWidth),
                          ToCp932(kAscii),     ToCp932(kFullWidth), ToCp932(kRareKanji),
                          ToCp932(kParticles), ToCp932(kEndings)};
    Random rng(opt.seed);
    std::size_t files = 0, locked = 0;
    std::uint64_t bytes = 0;
    for (int year = opt.firstYear; year < opt.firstYear + opt.years; ++year) {
        char folder[16];
        std::snprintf(folder, sizeof folder, "/%04d", year);
        const std::string yearDir = opt.out + folder;
        if (!kuv::fsio::MakeDirectory(yearDir)) {
            std::fprintf(stderr, "kuv_make_diary: cannot create %s\n", yearDir.c_str());
            return 1;
        }
        const kuv::TDateTime first = kuv::EncodeDateValue(static_cast<std::uint16_t>(year), 1, 1);
        for (kuv::TDateTime day = first;; day += 1) {
            const kuv::DateParts p = kuv::DecodeDateValue(day);
            if (p.year != year) break;
            const std::string text = EntryText(rng, words, 512 + rng.Below(4096 - 512 + 1));
            const bool lock = rng.Percent(opt.lockedPercent);
            char name[16];
            std::snprintf(name, sizeof name, "/%02u%02u.%s", unsigned{p.month}, unsigned{p.day},
                          lock ? "xda" : "dia");
            if (!WriteFile(yearDir + name, lock ? Locked(text, opt.password) : text)) {
                std::fprintf(stderr, "kuv_make_diary: cannot write %s%s\n", yearDir.c_str(), name);
                return 1;
            }
            ++files;
            locked += lock ? 1 : 0;
            bytes += text.size();
        }
    }
    std::printf("%zu entries (%zu locked), %.1f MB of text in %s\n", files, locked,
                static_cast<double>(bytes) / 1e6, opt.out.c_str());
    return 0;
}
