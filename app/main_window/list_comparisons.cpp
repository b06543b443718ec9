#include "app/main_window/list_comparisons.h"

#include <QStringList>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace tembrel::app {

namespace {

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The number a text starts with, as strtod reads it (0 when there is none),
// and where it ended.
double LeadingNumber(const std::string& text, std::size_t* end = nullptr) {
    const char* begin = text.c_str();
    char* stop = nullptr;
    const double value = std::strtod(begin, &stop);
    if (end) *end = static_cast<std::size_t>(stop - begin);
    return value;
}

double SizeValue(const QString& text) {
    const std::string s = text.toStdString();
    std::size_t at = 0;
    double value = LeadingNumber(s, &at);
    if (at < s.size() && s[at] == ' ') ++at;
    if (at < s.size()) {
        switch (s[at]) {
            case 'T': case 't': value *= 1024.0;  [[fallthrough]];
            case 'G': case 'g': value *= 1024.0;  [[fallthrough]];
            case 'M': case 'm': value *= 1024.0;  [[fallthrough]];
            case 'K': case 'k': value *= 1024.0;  break;
            default: break;
        }
    }
    return value;
}

// The first `parts` integers between the separators; nothing when the text
// has fewer parts.
std::optional<std::vector<long long>> Fields(const QString& text, QChar separator, int parts) {
    const QStringList split = text.split(separator);
    if (split.size() < parts) return std::nullopt;
    std::vector<long long> fields;
    for (int i = 0; i < parts; ++i) fields.push_back(std::atoll(split[i].trimmed().toStdString().c_str()));
    return fields;
}

// Dates compare field by field; times as a count of seconds.
int CompareFields(const QString& a, const QString& b, QChar separator, int parts, bool asSeconds) {
    const auto x = Fields(a, separator, parts);
    const auto y = Fields(b, separator, parts);
    if (!x || !y) return 0;
    if (!asSeconds) return Order(*x, *y);
    const auto seconds = [](const std::vector<long long>& f) {
        long long total = 0;
        for (long long v : f) total = total * 60 + v;
        return total;
    };
    return Order(seconds(*x), seconds(*y));
}

}  // namespace

int CompareCellTexts(ComparisonKind kind, const QString& a, const QString& b) {
    switch (kind) {
        case ComparisonKind::Text: return Order(QString::localeAwareCompare(a, b), 0);
        case ComparisonKind::Number:
            return Order(LeadingNumber(a.toStdString()), LeadingNumber(b.toStdString()));
        case ComparisonKind::Size: return Order(SizeValue(a), SizeValue(b));
        case ComparisonKind::Date: return CompareFields(a, b, '-', 3, false);
        case ComparisonKind::MinutesSeconds: return CompareFields(a, b, ':', 2, true);
        case ComparisonKind::HoursMinutesSeconds: return CompareFields(a, b, ':', 3, true);
    }
    return 0;
}

}  // namespace tembrel::app
