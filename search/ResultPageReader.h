#pragma once

#include <QString>

#include <functional>

namespace kova {

class Dataset;
class HttpClient;
class PageText;
class SettingsRecord;
struct ProgramState;

// The value of a cell line: the text from its fifth character up to its first "</TD>";
// empty when the line has no "</TD>".
QString CellValue(const QString& line);

// Today as whole days counted from 30 December 1899.
qint64 DayNumber();

// Reads a page that the main page loader brought in results mode: the first-run account
// reply and the result page of a search. Stores the keyword statistics in `word`, one
// `cxnr` row per result row (through the result query, so the grid follows), the picture
// records of a new keyword in `tpb` and the first twelve thumbnails of a new keyword.
class ResultPageReader {
public:
    struct Objects {
        Dataset& words;    // open on word
        Dataset& results;  // open on cxnr (the grid's query)
        Dataset& pictures; // open on the keyword's tpb rows
        SettingsRecord& settings;
        HttpClient& http;
    };
    // Called with the bar position (0..100) and the label text as the reading advances.
    using Progress = std::function<void(int bar, const QString& label)>;

    struct Outcome {
        int emptyCells = 0;  // lines holding "<TD></TD>"
        int stored = 0;      // rows appended to cxnr
        int skipped = 0;     // malformed rows left out
        int downloaded = 0;  // thumbnails fetched while reading
        int downloadFailures = 0;
        bool accountStored = false;
    };

    ResultPageReader(Objects objects, ProgramState& state, Progress progress);

    Outcome read(const PageText& page);

    static constexpr int RowLines = 13;
    static constexpr int ThumbnailsWhileReading = 12;

private:
    void countKeyword();
    bool readRow(const PageText& page, int rowLine, Outcome& outcome);

    Objects m_db;
    ProgramState& m_state;
    Progress m_progress;
};

inline const QString SearchWaitText = QStringLiteral("正在进行智能比价搜索，请稍后...... ");

} // namespace kova
