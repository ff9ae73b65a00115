#include "decoder/analyse_frame.h"

#include "analysis/classify.h"
#include "analysis/element_string.h"
#include "analysis/gs_repair.h"

namespace dorvik {

namespace {

constexpr PlainText kGsRepairedGuess =
    "Разделитель GS не передан сканером, и код допускает несколько разборов — границы полей расставлены ПРЕДПОЛОЖИТЕЛЬНО. Сверьте код с упаковкой или включите передачу GS в сканере";
constexpr PlainText kGsRepaired =
    "Разделитель GS не передан сканером — границы полей восстановлены по структуре кода";

void replaceSubstitute(std::string_view text, std::string_view substitute, std::string& out) {
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at = text.find(substitute); at != std::string_view::npos; at = text.find(substitute, from)) {
        out.append(text.substr(from, at - from));
        out += kGs;
        from = at + substitute.size();
    }
    out.append(text.substr(from));
}

} // namespace

void analyseFrame(const ScannerProfile& profile, std::string_view text, ScanEvent& event) {
    event.reset();
    std::string_view work = text;
    if (!profile.terminator.empty() && work.ends_with(profile.terminator)) {
        work.remove_suffix(profile.terminator.size());
    } else {
        while (!work.empty() && (work.back() == '\r' || work.back() == '\n'))
            work.remove_suffix(1);
    }
    const std::string_view prefix = profile.prefix;
    std::string_view aimBeforePrefix;
    if (!prefix.empty() && work.starts_with(prefix)) {
        work.remove_prefix(prefix.size());
    } else if (!prefix.empty() && work.size() >= 3 && work.front() == ']' &&
               work.substr(3).starts_with(prefix)) {
        // The tuner learns the prefix as what follows the AIM identifier, so a scanner that sends the
        // identifier first must lose the same prefix here.
        aimBeforePrefix = work.substr(0, 3);
        work.remove_prefix(3 + prefix.size());
    }
    if (!profile.suffix.empty() && work.ends_with(profile.suffix)) work.remove_suffix(profile.suffix.size());
    if (!aimBeforePrefix.empty()) {
        event.aimId = aimBeforePrefix;
    } else if (work.size() >= 4 && work.front() == ']') {
        event.aimId = work.substr(0, 3);
        work.remove_prefix(3);
    }

    const bool substituting = !profile.gsSubstitute.empty();
    if (substituting) replaceSubstitute(work, profile.gsSubstitute, event.data);
    const std::string_view data = substituting ? std::string_view(event.data) : work;

    if (profile.gsMissing && data.find(kGs) == std::string_view::npos) {
        // The repair writes the text itself when it finds nothing to restore, so the data is copied once
        // either way, into the event's block; a substituted text is moved out of that block first.
        const std::string substituted = substituting ? std::move(event.data) : std::string();
        const GsRepairResult repair =
            repairGs(substituting ? std::string_view(substituted) : data, event.data);
        if (repair.repaired) {
            event.gsRepaired = true;
            event.gsGuess = repair.guess;
            if (repair.guess)
                event.warn(kGsRepairedGuess);
            else
                event.note(kGsRepaired);
            classifyRepairedCode(event, repair.cut());
            return;
        }
    } else if (!substituting) {
        event.data = work;
    }
    classifyCode(event);
}

} // namespace dorvik
