#include "kivhost/command/command_line_checks.h"

#include <algorithm>
#include <charconv>
#include <iomanip>
#include <sstream>

namespace kiv::kivhost {
namespace {

// A validator with no description, so that help shows the option's placeholder alone.
CLI::Validator check(std::function<std::string(std::string&)> test) {
    return CLI::Validator(std::move(test), "");
}

std::string numberText(double number) {
    std::ostringstream text;
    text << std::setprecision(12) << number;
    return text.str();
}

// The number of single-character edits that turn one text into the other.
std::size_t editDistance(std::string_view from, std::string_view to) {
    std::vector<std::size_t> row(to.size() + 1);
    for (std::size_t j = 0; j <= to.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= from.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= to.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (from[i - 1] == to[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[to.size()];
}

// The command's option nearest to `given`.
std::string nearestOption(const std::string& given, const CLI::App& command) {
    std::vector<std::string> names;
    for (const CLI::Option* option : command.get_options()) {
        for (const std::string& name : option->get_lnames()) {
            names.push_back("--" + name);
        }
    }
    return nearestName(given, names);
}

std::string extraArgumentText(const std::string& extra, const CLI::App& command) {
    if (!extra.starts_with("-") || extra == "-") {
        return "unexpected argument '" + extra + "'";
    }
    const std::string name = extra.substr(0, extra.find('='));
    const std::string nearest = nearestOption(name, command);
    return "unknown option '" + name + "'" + (nearest.empty() ? "" : "; did you mean '" + nearest + "'?");
}

} // namespace

std::string nearestName(const std::string& given, const std::vector<std::string>& names) {
    std::string nearest;
    std::size_t best = std::max<std::size_t>(2, given.size() / 3) + 1;
    for (const std::string& name : names) {
        if (const std::size_t distance = editDistance(given, name); distance < best) {
            best = distance;
            nearest = name;
        }
    }
    return nearest;
}

CLI::Validator wholeNumberFrom(long long low, long long high) {
    return check([low, high](std::string& text) -> std::string {
        long long number = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error == std::errc() && end == text.data() + text.size() && number >= low && number <= high) {
            return {};
        }
        return "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    });
}

CLI::Validator decimalFrom(double low, double high) {
    return check([low, high](std::string& text) -> std::string {
        std::istringstream in(text);
        double number = 0;
        if ((in >> number) && in.eof() && number >= low && number <= high) {
            return {};
        }
        return "must be a number from " + numberText(low) + " to " + numberText(high);
    });
}

CLI::Validator oneOf(const std::vector<std::string>& words) {
    return check([words](std::string& text) -> std::string {
        if (std::find(words.begin(), words.end(), text) != words.end()) {
            return {};
        }
        std::string list;
        for (std::size_t i = 0; i < words.size(); ++i) {
            list += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
        }
        return "must be " + list;
    });
}

std::string usageMessage(const CLI::ParseError& error, const CLI::App* command) {
    if (dynamic_cast<const CLI::ExtrasError*>(&error) && command) {
        std::string lines;
        for (const std::string& extra : command->remaining()) {
            lines += (lines.empty() ? "" : "\n") + extraArgumentText(extra, *command);
        }
        if (!lines.empty()) {
            return lines;
        }
    }
    const std::string text = error.what();
    // "--only: 1 required TYPES missing"
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && text.find(": ") != std::string::npos) {
        return text.substr(0, text.find(": ")) + ": needs a value";
    }
    return text;
}

} // namespace kiv::kivhost
