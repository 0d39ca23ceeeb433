#include "bench_documents.h"

#include "yaml_block_writer.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <string_view>

namespace kiv::bench {
namespace {

using nlohmann::json;

class DocumentGenerator {
  public:
    explicit DocumentGenerator(unsigned seed) : random_(seed) {}

    json timelinePost(std::size_t i) {
        json user = {{"id", 1'000'000 + below(5'000'000)},
                     {"name", pick(kNames)},
                     {"screen_name", "user_" + std::to_string(below(100'000))},
                     {"followers_count", below(2'000'000)},
                     {"verified", below(10) == 0},
                     {"location", pick(kPlaces)},
                     {"description", sentence(6)}};
        json hashtags = json::array();
        for (std::size_t n = below(4); n > 0; --n) {
            const std::size_t start = below(120);
            hashtags.push_back({{"text", pick(kWords)}, {"indices", {start, start + 4 + below(10)}}});
        }
        return {
            {"id", 1'700'000'000'000'000'000ull + i * 7919},
            {"created_at", "2026-12-07T08:" + twoDigits(below(60)) + ":" + twoDigits(below(60)) + "Z"},
            {"text", sentence(8 + below(16))},
            {"lang", below(2) ? "ko" : "en"},
            {"user", user},
            {"retweet_count", below(10'000)},
            {"favorite_count", below(50'000)},
            {"score", std::uniform_real_distribution<double>(0.0, 1.0)(random_)},
            {"coordinates", {37.0 + unit(), 126.0 + unit()}},
            {"entities", {{"hashtags", hashtags}, {"urls", json::array()}}},
            {"in_reply_to", below(3) == 0 ? json(1'700'000'000'000'000'000ull + below(1'000'000)) : json()}};
    }

    json randomDouble() {
        const int exponent = static_cast<int>(below(41)) - 20;
        return (below(2) ? -1.0 : 1.0) * unit() * std::pow(10.0, exponent);
    }

    json service(std::size_t i) {
        return {{"name", "service-" + std::to_string(i)},
                {"host", "10.0." + std::to_string(i / 250 % 250) + "." + std::to_string(i % 250)},
                {"port", 8000 + below(1000)},
                {"enabled", below(4) != 0},
                {"timeout", 0.5 * static_cast<double>(1 + below(20))},
                {"retries", below(6)},
                {"tags", {pick(kWords), pick(kWords)}},
                {"limits",
                 {{"cpu", 0.25 * static_cast<double>(1 + below(16))},
                  {"memory", 128 * (1 + below(32))},
                  {"connections", 100 * (1 + below(50))}}},
                {"env",
                 {{"LOG_LEVEL", below(2) ? "info" : "debug"},
                  {"REGION", "kr-" + std::to_string(1 + below(3))},
                  {"FEATURE_FLAGS", "a,b,c"}}}};
    }

  private:
    static constexpr std::array<std::string_view, 6> kNames = {"Kim Min-jun",  "이서연", "Park Ji-hoon",
                                                               "José Álvarez", "Chloé",  "최도윤"};
    static constexpr std::array<std::string_view, 5> kPlaces = {"서울특별시", "Busan", "São Paulo", "Zürich",
                                                                "대구광역시 중구"};
    static constexpr std::array<std::string_view, 16> kWords = {
        "game",   "queue",       "ranked", "오늘", "친구들과", "late-night", "tab\there", "\"quoted\"",
        "line\n", "back\\slash", "naïve",  "🎮",   "win",      "patch",      "notes",     "☕"};

    std::uint64_t below(std::uint64_t n) {
        return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(random_);
    }
    double unit() { return std::uniform_real_distribution<double>(0.0, 1.0)(random_); }
    template <std::size_t N> std::string pick(const std::array<std::string_view, N>& set) {
        return std::string(set[below(N)]);
    }
    static std::string twoDigits(std::uint64_t n) {
        char text[3];
        std::snprintf(text, sizeof text, "%02u", static_cast<unsigned>(n));
        return text;
    }
    std::string sentence(std::size_t words) {
        std::string text;
        for (std::size_t i = 0; i < words; ++i) {
            if (i) {
                text += ' ';
            }
            text += kWords[below(kWords.size())];
        }
        return text;
    }

    std::mt19937_64 random_;
};

// Appends items made by `make` until the array's JSON text reaches about `bytes`.
template <class Make> json arrayOfAbout(std::size_t bytes, Make make) {
    json array = json::array();
    for (std::size_t size = 2, i = 0; size < bytes; ++i) {
        array.push_back(make(i));
        size += array.back().dump().size() + 1;
    }
    return array;
}

BenchDocument makeDocument(std::string name, const json& content) {
    BenchDocument document{std::move(name), content.dump(), {}, writeBlockYaml(content)};
    document.msgpack = json::to_msgpack(content);
    return document;
}

} // namespace

std::vector<BenchDocument> makeBenchDocuments(std::size_t jsonBytes) {
    DocumentGenerator generator(20261207);
    std::vector<BenchDocument> documents;
    documents.push_back(makeDocument(
        "timeline",
        {{"statuses", arrayOfAbout(jsonBytes, [&](std::size_t i) { return generator.timelinePost(i); })},
         {"next_cursor", 1234567890123}}));
    documents.push_back(makeDocument(
        "doubles", arrayOfAbout(jsonBytes, [&](std::size_t) { return generator.randomDouble(); })));
    documents.push_back(
        makeDocument("config", {{"version", 3}, {"services", arrayOfAbout(jsonBytes, [&](std::size_t i) {
                                                     return generator.service(i);
                                                 })}}));
    return documents;
}

const std::vector<BenchDocument>& benchDocuments() {
    static const std::vector<BenchDocument> documents = makeBenchDocuments(1 << 20);
    return documents;
}

} // namespace kiv::bench
