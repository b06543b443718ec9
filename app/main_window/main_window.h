#pragma once
// The program's window: the file list, the command buttons beside it, the
// list's right-click menu and the help menu behind its own caption button.
// It owns the settings and the list's entries, and hands the work to the
// source file list, the conversion window and the other dialogs.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QList>
#include <QUrl>
#include <QWidget>

#include "audio/source_file_list.h"
#include "engine/conversion_settings.h"
#include "platform/settings_store.h"

class QAction;
class QMenu;
class QPushButton;

namespace tembrel::app {

class SortableListCtrl;
class WidgetSourceListUi;

// The dialogs other parts of the program supply. An empty hook leaves its
// command unavailable: its button disabled, its menu item disabled.
struct MainWindowHooks {
    // True on OK; the sheet has saved the settings already.
    std::function<bool(QWidget* parent, ConversionSettings& settings, int& activePage)> runOptions;
    // The saved WAV to add and convert, or nothing.
    std::function<std::optional<std::string>(QWidget* parent)> runRecorder;
    std::function<void(QWidget* parent, const SourceFileEntry& row, const ConversionSettings& settings,
                       std::uint32_t lastDurationSeconds)>
        playSwf;
    // Opens "Tembrel Help", or raises the open one.
    std::function<void(bool maximised)> showHelp;
    // At the main window's close.
    std::function<void()> closeHelp;
};

// Ends the tooltip of a button whose dialog this build lacks.
inline constexpr char kNotAvailableYet[] = " (not available yet)";

inline constexpr char kNoFilesMessage[] = "There aren't files in list.";
inline constexpr char kNoSelectionMessage[] = "You should select a file at least.";

class MainDialog : public QWidget {
    Q_OBJECT
public:
    // Loads the settings from store, and opens the help maximised on the
    // first run (remembered in store).
    MainDialog(SettingsStore& store, MainWindowHooks hooks, QWidget* parent = nullptr);
    ~MainDialog() override;

    SortableListCtrl* List() const { return list_; }
    // True while a conversion or a batch of added files is in work.
    bool Busy() const { return busy_ > 0; }
    QMenu* ListMenu() const { return listMenu_; }
    QMenu* HelpMenu() const { return helpMenu_; }
    // The list menu's items as the enabling rules leave them for the
    // current list and selection (done each time the menu opens).
    void UpdateListMenu();
    // The menu item whose text is `text` (mnemonics and shortcut text included).
    QAction* MenuAction(const QString& text) const;

    ConversionSettings& Settings() { return settings_; }
    // Files to convert at once (0: one per processor).
    void SetConversionJobs(int jobs) { conversionJobs_ = jobs; }

    // Adds files and folders (scanned) as given, with progress and the
    // closing message for files that could not be added.
    void AddPaths(const std::vector<std::string>& paths);
    void AddDroppedItems(const QList<QUrl>& urls);

    // Closes the window as its Close button does, with the dialogs open
    // over it taken down first as their Cancel would (a run is cancelled
    // and waited for), so that what they hold is removed on the way out.
    void CloseWithItsDialogs();

public slots:
    void AddFiles();
    void AddFolder();
    void RemoveSelected();
    void RemoveAll();
    void ConvertAll();
    void ConvertSelected();
    void Record();
    void Options();
    void Play();
    void BrowseFolder();
    void PlaySwf();
    void BrowseSwfFolder();
    void OpenHtmlFile();
    void ViewHtmlCode();
    void HelpTopics();
    void ShowAbout();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildButtons();
    void BuildList();
    void BuildMenus();
    void BuildShortcuts();
    QAction* AddMenuItem(QMenu* menu, const QString& text, void (MainDialog::*command)());
    int AppendListRow(const SourceRowTexts& texts);
    void LoadPaths(const std::vector<std::string>& paths);
    // The entries follow the rows left after a removal.
    void RebuildEntries();
    void ConvertRows(const std::vector<int>& rows);
    // The first selected row's entry, or nothing.
    SourceFileEntry* FirstSelectedEntry() const;
    int RowOfFile(const std::string& path) const;

    // Held while work reads the list from a nested event loop (a conversion,
    // a batch of added files). A close asked for meanwhile cancels that work
    // and is carried out once the last holder is gone.
    class BusyScope {
    public:
        explicit BusyScope(MainDialog& window);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        MainDialog& window_;
    };

    SettingsStore& store_;
    MainWindowHooks hooks_;
    ConversionSettings settings_;
    int activePage_ = 0;
    std::uint32_t lastDurationSeconds_ = 0;
    int conversionJobs_ = 0;
    bool rebuilding_ = false;
    int busy_ = 0;
    bool closePending_ = false;

    SortableListCtrl* list_ = nullptr;
    QMenu* listMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    std::unique_ptr<WidgetSourceListUi> ui_;
    SourceFileList entries_;
};

}  // namespace tembrel::app
