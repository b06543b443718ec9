#include "app/main_window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLinearGradient>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QWindow>

#include <algorithm>

#include "app/help/about_dialog.h"
#include "app/main_window/add_files_commands.h"
#include "app/application_startup.h"
#include "app/main_window/conversion_window.h"
#include "app/desktop/desktop_services.h"
#include "app/desktop/endpoints.h"
#include "app/widgets/message_box.h"
#include "app/main_window/progress_window.h"
#include "app/main_window/sortable_list.h"
#include "app/main_window/widget_source_list_ui.h"
#include "audio/source_scan.h"
#include "engine/conversion_driver.h"
#include "engine/settings_persistence.h"
#include "platform/file_identity.h"

namespace tembrel::app {

namespace {

constexpr int kWidth = 699;
constexpr int kHeight = 538;
constexpr int kSwfColumn = 5;

struct Column {
    const char* title;
    int width;
    Qt::Alignment align;
    ComparisonKind kind;
};

constexpr Column kColumns[] = {
    {"Files", 152, Qt::AlignLeft, ComparisonKind::Text},
    {"Length", 55, Qt::AlignRight, ComparisonKind::MinutesSeconds},
    {"Bit Rate", 70, Qt::AlignRight, ComparisonKind::Number},
    {"Freq.", 70, Qt::AlignRight, ComparisonKind::Number},
    {"Ch.", 50, Qt::AlignLeft, ComparisonKind::Text},
    {"SWF", 155, Qt::AlignLeft, ComparisonKind::Text},
};

// What the header needs to show `title` whole with a sort arrow beside it.
int HeaderWidthWithArrow(const QTreeWidget* list, const QString& title) {
    QStyleOptionHeader option;
    option.initFrom(list->header());
    option.text = title;
    option.sortIndicator = QStyleOptionHeader::SortDown;
    const QHeaderView* header = list->header();
    return header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width();
}

// "Tahoma" 11 px bold, or the desktop's sans-serif where Tahoma is missing.
QFont CommandFont() {
    QFont font = QFontDatabase::families().contains("Tahoma") ? QFont("Tahoma")
                                                              : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(11);
    font.setWeight(QFont::Bold);
    return font;
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The window draws its own caption: small flat buttons with a drawn glyph.
class CaptionButton : public QPushButton {
public:
    enum class Glyph { Help, Minimize, Close };
    CaptionButton(Glyph glyph, QWidget* parent) : QPushButton(parent), glyph_(glyph) {
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor fill = palette().color(QPalette::Button);
        if (isDown()) fill = fill.darker(130);
        else if (underMouse()) fill = fill.lighter(115);
        painter.setBrush(fill);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRoundedRect(box, 3, 3);
        QPen pen(palette().color(QPalette::ButtonText), 2);
        painter.setPen(pen);
        const QRectF inner = box.adjusted(6, 6, -6, -6);
        switch (glyph_) {
            case Glyph::Help: {
                QFont font = CommandFont();
                font.setPixelSize(13);
                painter.setFont(font);
                painter.drawText(box, Qt::AlignCenter, "?");
                break;
            }
            case Glyph::Minimize: painter.drawLine(inner.bottomLeft(), inner.bottomRight()); break;
            case Glyph::Close:
                painter.drawLine(inner.topLeft(), inner.bottomRight());
                painter.drawLine(inner.topRight(), inner.bottomLeft());
                break;
        }
    }

private:
    Glyph glyph_;
};

QPushButton* CommandButton(const QString& text, const QString& tip, QRect geometry, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setFont(CommandFont());
    button->setToolTip(tip);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

bool IsFile(const std::string& path) { return !path.empty() && IsRegularFileAt(path); }

}  // namespace

MainDialog::MainDialog(SettingsStore& store, MainWindowHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      store_(store),
      hooks_(std::move(hooks)),
      ui_(std::make_unique<WidgetSourceListUi>(
          this, [this](const SourceRowTexts& texts) { return AppendListRow(texts); },
          [this](int row) {
              // Rows put back after a removal stay where the user left the view.
              if (rebuilding_) return;
              if (QTreeWidgetItem* item = list_->topLevelItem(row)) list_->scrollToItem(item);
          })),
      entries_(ui_.get()) {
    LoadSettings(store_, settings_);
    setWindowTitle("Tembrel");
    if (QFile::exists(":/tembrel/icon.png")) setWindowIcon(QIcon(":/tembrel/icon.png"));
    setFixedSize(kWidth, kHeight);
    setAcceptDrops(true);
    BuildList();
    BuildButtons();
    BuildMenus();
    BuildShortcuts();
    if (QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
    // Last, once everything it could open over is ready.
    if (TakeFirstRun(store_) && hooks_.showHelp) hooks_.showHelp(true);
}

MainDialog::~MainDialog() = default;

MainDialog::BusyScope::BusyScope(MainDialog& window) : window_(window) { ++window_.busy_; }

MainDialog::BusyScope::~BusyScope() {
    if (--window_.busy_ > 0 || !window_.closePending_) return;
    window_.closePending_ = false;
    // Queued: the work's callers are still on the stack and may touch the list.
    QMetaObject::invokeMethod(&window_, &QWidget::close, Qt::QueuedConnection);
}

void MainDialog::BuildList() {
    list_ = new SortableListCtrl(this);
    list_->setGeometry(137, 62, 552, 467);
    list_->setColumnCount(static_cast<int>(std::size(kColumns)));
    QStringList titles;
    for (const Column& column : kColumns) titles << column.title;
    list_->setHeaderLabels(titles);
    int spare = 0;  // taken from the first column for the titles that need it
    for (int i = static_cast<int>(std::size(kColumns)) - 1; i >= 0; --i) {
        // A title keeps its letters beside the sort arrow; the room comes
        // from "Files", so the columns still fill the list exactly.
        const int width = i == 0 ? kColumns[i].width - spare
                                 : std::max(kColumns[i].width, HeaderWidthWithArrow(list_, kColumns[i].title));
        spare += width - kColumns[i].width;
        list_->setColumnWidth(i, width);
        list_->headerItem()->setTextAlignment(i, kColumns[i].align | Qt::AlignVCenter);
        list_->SetColumnKind(i, kColumns[i].kind);
    }
    connect(list_, &SortableListCtrl::menuRequested, this, [this](const QPoint& globalPos) {
        UpdateListMenu();
        listMenu_->popup(globalPos);
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { Play(); });
}

void MainDialog::BuildButtons() {
    auto* record = CommandButton("Record", "Record and convert to SWF", {15, 72, 99, 28}, this);
    auto* addFiles = CommandButton("Add Files", "Add files", {15, 115, 99, 28}, this);
    auto* addFolder = CommandButton("Add Folder", "Add files from a folder", {15, 159, 99, 28}, this);
    auto* removeAll = CommandButton("Remove All", "Remove all files from list", {15, 247, 99, 28}, this);
    auto* convertAll = CommandButton("Convert All", "Convert all files to SWF", {15, 291, 99, 28}, this);
    auto* options = CommandButton("Options", "Options", {15, 335, 99, 28}, this);
    connect(record, &QPushButton::clicked, this, &MainDialog::Record);
    connect(addFiles, &QPushButton::clicked, this, &MainDialog::AddFiles);
    connect(addFolder, &QPushButton::clicked, this, &MainDialog::AddFolder);
    connect(removeAll, &QPushButton::clicked, this, &MainDialog::RemoveAll);
    connect(convertAll, &QPushButton::clicked, this, &MainDialog::ConvertAll);
    connect(options, &QPushButton::clicked, this, &MainDialog::Options);
    for (auto [button, available] : {std::pair{record, bool(hooks_.runRecorder)}, {options, bool(hooks_.runOptions)}}) {
        if (available) continue;
        button->setEnabled(false);
        button->setToolTip(button->toolTip() + kNotAvailableYet);
    }

    auto* homepage = new QPushButton(kHomepageHost, this);
    homepage->setGeometry(8, 507, 113, 20);
    homepage->setFlat(true);
    homepage->setAutoDefault(false);
    homepage->setCursor(Qt::PointingHandCursor);
    homepage->setToolTip("Visit Tembrel Homepage");
    QFont linkFont = CommandFont();
    linkFont.setUnderline(true);
    homepage->setFont(linkFont);
    QPalette linkPalette = homepage->palette();
    linkPalette.setColor(QPalette::ButtonText, QColor(0x1a, 0x4c, 0xb0));
    homepage->setPalette(linkPalette);
    connect(homepage, &QPushButton::clicked, this, [] {
        WaitCursor wait;
        Desktop().OpenUrl(HomepageUrl());
    });

    helpButton_ = new CaptionButton(CaptionButton::Glyph::Help, this);
    helpButton_->setGeometry(621, 11, 21, 21);
    helpButton_->setToolTip("Help");
    auto* minimize = new CaptionButton(CaptionButton::Glyph::Minimize, this);
    minimize->setGeometry(644, 11, 21, 21);
    minimize->setToolTip("Minimize");
    auto* close = new CaptionButton(CaptionButton::Glyph::Close, this);
    close->setGeometry(666, 11, 21, 21);
    close->setToolTip("Close");
    connect(helpButton_, &QPushButton::clicked, this,
            [this] { helpMenu_->popup(helpButton_->mapToGlobal(helpButton_->rect().bottomLeft())); });
    connect(minimize, &QPushButton::clicked, this, &QWidget::showMinimized);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

QAction* MainDialog::AddMenuItem(QMenu* menu, const QString& text, void (MainDialog::*command)()) {
    QAction* action = menu->addAction(text);
    connect(action, &QAction::triggered, this, command);
    return action;
}

void MainDialog::BuildMenus() {
    listMenu_ = new QMenu(this);
    AddMenuItem(listMenu_, "&Play", &MainDialog::Play);
    AddMenuItem(listMenu_, "&Convert to SWF", &MainDialog::ConvertSelected);
    AddMenuItem(listMenu_, "Con&vert All to SWF", &MainDialog::ConvertAll);
    AddMenuItem(listMenu_, "&Browse Folder", &MainDialog::BrowseFolder);
    listMenu_->addSeparator();
    AddMenuItem(listMenu_, "Play &SWF", &MainDialog::PlaySwf);
    AddMenuItem(listMenu_, "Browse SWF &Folder", &MainDialog::BrowseSwfFolder);
    listMenu_->addSeparator();
    AddMenuItem(listMenu_, "Open &HTML File", &MainDialog::OpenHtmlFile);
    AddMenuItem(listMenu_, "Vie&w HTML Code", &MainDialog::ViewHtmlCode);
    listMenu_->addSeparator();
    AddMenuItem(listMenu_, "&Add Files...\tCtrl+O", &MainDialog::AddFiles);
    AddMenuItem(listMenu_, "Add F&older", &MainDialog::AddFolder);
    AddMenuItem(listMenu_, "&Remove\tDel", &MainDialog::RemoveSelected);
    AddMenuItem(listMenu_, "Remove Al&l", &MainDialog::RemoveAll);

    helpMenu_ = new QMenu(this);
    AddMenuItem(helpMenu_, "&Help Topics\tF1", &MainDialog::HelpTopics)->setEnabled(bool(hooks_.showHelp));
    helpMenu_->addSeparator();
    const auto openUrl = [this](const QString& text, QUrl (*url)()) {
        connect(helpMenu_->addAction(text), &QAction::triggered, this, [url] {
            WaitCursor wait;
            Desktop().OpenUrl(url());
        });
    };
    openUrl("&Tell A Friend", &TellAFriendUrl);
    openUrl("&Feedback and Support", &SupportMailUrl);
    openUrl("Home&page", &HomepageUrl);
    openUrl("&Check Latest Version", &UpdateCheckUrl);
    helpMenu_->addSeparator();
    AddMenuItem(helpMenu_, "&About...", &MainDialog::ShowAbout);
}

void MainDialog::BuildShortcuts() {
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this), &QShortcut::activated, this,
            &MainDialog::AddFiles);
    connect(new QShortcut(QKeySequence(Qt::Key_Delete), this), &QShortcut::activated, this,
            &MainDialog::RemoveSelected);
    connect(new QShortcut(QKeySequence(Qt::Key_F1), this), &QShortcut::activated, this, &MainDialog::HelpTopics);
}

QAction* MainDialog::MenuAction(const QString& text) const {
    for (QMenu* menu : {listMenu_, helpMenu_})
        for (QAction* action : menu->actions())
            if (action->text() == text) return action;
    return nullptr;
}

void MainDialog::UpdateListMenu() {
    const std::vector<int> selected = list_->SelectedRows();
    const bool any = !selected.empty();
    const SourceFileEntry* first = FirstSelectedEntry();
    const bool hasSwf = first && !first->outputSwfPath.empty();
    const bool hasPage = hasSwf && !first->htmlPath.empty();
    MenuAction("&Play")->setEnabled(selected.size() == 1);
    MenuAction("&Browse Folder")->setEnabled(selected.size() == 1);
    MenuAction("&Convert to SWF")->setEnabled(any);
    MenuAction("&Remove\tDel")->setEnabled(any);
    MenuAction("Remove Al&l")->setEnabled(list_->topLevelItemCount() > 0);
    MenuAction("Con&vert All to SWF")->setEnabled(list_->topLevelItemCount() > 0);
    MenuAction("Play &SWF")->setEnabled(hasSwf && bool(hooks_.playSwf));
    MenuAction("Browse SWF &Folder")->setEnabled(hasSwf);
    MenuAction("Open &HTML File")->setEnabled(hasPage);
    MenuAction("Vie&w HTML Code")->setEnabled(hasPage);
}

SourceFileEntry* MainDialog::FirstSelectedEntry() const {
    const std::vector<int> selected = list_->SelectedRows();
    return selected.empty() ? nullptr : list_->EntryAt(selected.front());
}

int MainDialog::AppendListRow(const SourceRowTexts& texts) {
    // The source file list has just taken the entry as its last one.
    SourceFileEntry* entry = &entries_.Entry(entries_.Size() - 1);
    if (rebuilding_) return static_cast<int>(entries_.Size()) - 1;
    QStringList cells;
    for (const std::string& text : texts) cells << QString::fromStdString(text);
    list_->AppendRow(cells, entry);
    return list_->topLevelItemCount() - 1;
}

void MainDialog::RebuildEntries() {
    std::vector<SourceFileEntry> kept;
    for (int row = 0; row < list_->topLevelItemCount(); ++row) kept.push_back(*list_->EntryAt(row));
    entries_.Clear();
    rebuilding_ = true;
    for (std::size_t row = 0; row < kept.size(); ++row) {
        entries_.InsertSourceRow(std::make_unique<SourceFileEntry>(std::move(kept[row])));
        SortableListCtrl::SetEntry(list_->topLevelItem(static_cast<int>(row)), &entries_.Entry(row));
    }
    rebuilding_ = false;
}

void MainDialog::LoadPaths(const std::vector<std::string>& paths) {
    const BusyScope busy(*this);
    entries_.LoadSourceFiles(paths);
}

void MainDialog::AddPaths(const std::vector<std::string>& items) {
    const BusyScope busy(*this);
    std::vector<std::string> paths;
    for (const std::string& item : items) {
        if (IsFolderAt(item)) {
            ui_->OpenSearching();
            ScanFolder(paths, item);
        } else {
            paths.push_back(item);  // named on purpose: probed whatever its extension
        }
    }
    LoadPaths(paths);
}

void MainDialog::AddDroppedItems(const QList<QUrl>& urls) {
    const BusyScope busy(*this);
    ui_->OpenSearching();
    LoadPaths(CollectDroppedPaths(urls));
}

void MainDialog::AddFiles() {
    const std::vector<std::string> paths = ChooseSourceFiles(this);
    if (!paths.empty()) LoadPaths(paths);
}

void MainDialog::AddFolder() {
    const std::optional<std::string> folder = ChooseSourceFolder(this, settings_.Folder);
    if (!folder) return;
    settings_.Folder = *folder;
    SaveSettings(store_, settings_, kSaveFolder);
    const BusyScope busy(*this);
    ui_->OpenSearching();
    std::vector<std::string> paths;
    ScanFolder(paths, *folder);
    LoadPaths(paths);
}

void MainDialog::RemoveSelected() {
    const std::vector<int> selected = list_->SelectedRows();
    if (selected.empty()) {
        ShowMessage(this, kNoSelectionMessage, MessageIcon::Information);
        return;
    }
    for (auto row = selected.rbegin(); row != selected.rend(); ++row) delete list_->takeTopLevelItem(*row);
    RebuildEntries();
}

void MainDialog::RemoveAll() {
    if (list_->topLevelItemCount() == 0) {
        ShowMessage(this, kNoFilesMessage, MessageIcon::Information);
        return;
    }
    list_->clear();
    entries_.Clear();
}

void MainDialog::ConvertAll() {
    if (list_->topLevelItemCount() == 0) {
        ShowMessage(this, kNoFilesMessage, MessageIcon::Information);
        return;
    }
    std::vector<int> rows(static_cast<std::size_t>(list_->topLevelItemCount()));
    for (std::size_t row = 0; row < rows.size(); ++row) rows[row] = static_cast<int>(row);
    ConvertRows(rows);
}

void MainDialog::ConvertSelected() {
    const std::vector<int> selected = list_->SelectedRows();
    if (selected.empty()) {
        ShowMessage(this, kNoSelectionMessage, MessageIcon::Information);
        return;
    }
    ConvertRows(selected);
}

void MainDialog::ConvertRows(const std::vector<int>& rows) {
    const BusyScope busy(*this);
    std::vector<SourceFileEntry> entries;
    std::vector<QTreeWidgetItem*> items;
    for (int row : rows) {
        items.push_back(list_->topLevelItem(row));
        entries.push_back(*list_->EntryAt(row));
    }
    const auto onRowStatus = [this](int row, const QString& status, const QString& reason) {
        if (QTreeWidgetItem* item = list_->topLevelItem(row)) {
            // The window is disabled, so the user cannot scroll to the file
            // in work: the list shows it.
            if (status == QLatin1String(kStatusConverting)) list_->scrollToItem(item);
            item->setText(kSwfColumn, status);
            item->setToolTip(kSwfColumn, reason);
        }
    };
    // Converting some rows names them as converting them all would.
    std::vector<std::string> listSources;
    for (int row = 0; row < list_->topLevelItemCount(); ++row) listSources.push_back(list_->EntryAt(row)->sourcePath);
    const ConversionRunResult result =
        RunConversionWindow(this, settings_, entries, rows, onRowStatus, conversionJobs_, std::move(listSources));
    // The window was disabled during the run, so the rows are the ones handed over.
    for (std::size_t i = 0; i < items.size() && i < result.entries.size(); ++i) {
        SourceFileEntry* entry = SortableListCtrl::EntryOf(items[i]);
        entry->outputSwfPath = result.entries[i].outputSwfPath;
        entry->htmlPath = result.entries[i].htmlPath;
        entry->playerSwfPath = result.entries[i].playerSwfPath;
    }
    lastDurationSeconds_ = result.lastDurationSeconds;
}

int MainDialog::RowOfFile(const std::string& path) const {
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
        if (IsSameFile(list_->EntryAt(row)->sourcePath, path)) return row;
    return -1;
}

namespace {

QString RecordingNotAddedMessage(const std::string& path, const std::string& reason) {
    return QStringLiteral("The recording \"%1\" cannot be added to the list: %2.")
        .arg(QFile::decodeName(QByteArray::fromStdString(path)),
             QString::fromStdString(reason.empty() ? std::string("it cannot be read") : reason));
}

}  // namespace

void MainDialog::Record() {
    if (!hooks_.runRecorder) return;
    const std::optional<std::string> saved = hooks_.runRecorder(this);
    // A window closed while the recorder was open converts nothing more.
    if (!saved || !isVisible()) return;
    int row = RowOfFile(*saved);
    std::string reason;
    if (row < 0) row = entries_.AddSourceFile(*saved, &reason);
    if (row < 0) {
        // The user pressed Record and saved: silence would look like success.
        ShowMessage(this, RecordingNotAddedMessage(*saved, reason), MessageIcon::Exclamation);
        return;
    }
    QTreeWidgetItem* item = list_->topLevelItem(row);
    list_->clearSelection();
    list_->setCurrentItem(item);
    item->setSelected(true);
    list_->scrollToItem(item);
    ConvertSelected();
    list_->setFocus();
}

void MainDialog::Options() {
    if (hooks_.runOptions) hooks_.runOptions(this, settings_, activePage_);
}

void MainDialog::Play() {
    const SourceFileEntry* entry = FirstSelectedEntry();
    if (!entry || entry->sourcePath.empty()) return;
    WaitCursor wait;
    Desktop().OpenFile(entry->sourcePath);
}

void MainDialog::BrowseFolder() {
    const SourceFileEntry* entry = FirstSelectedEntry();
    if (entry && IsFile(entry->sourcePath)) Desktop().ShowInFileManager(entry->sourcePath);
}

void MainDialog::PlaySwf() {
    const SourceFileEntry* entry = FirstSelectedEntry();
    if (entry && !entry->outputSwfPath.empty() && hooks_.playSwf)
        hooks_.playSwf(this, *entry, settings_, lastDurationSeconds_);
}

void MainDialog::BrowseSwfFolder() {
    const SourceFileEntry* entry = FirstSelectedEntry();
    if (entry && IsFile(entry->outputSwfPath)) Desktop().ShowInFileManager(entry->outputSwfPath);
}

void MainDialog::OpenHtmlFile() {
    const SourceFileEntry* entry = FirstSelectedEntry();
    if (!entry || entry->htmlPath.empty()) return;
    WaitCursor wait;
    Desktop().OpenFile(entry->htmlPath);
}

void MainDialog::ViewHtmlCode() {
    const SourceFileEntry* entry = FirstSelectedEntry();
    if (entry && !entry->htmlPath.empty()) Desktop().OpenInTextEditor(entry->htmlPath);
}

void MainDialog::HelpTopics() {
    if (hooks_.showHelp) hooks_.showHelp(false);
}

void MainDialog::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainDialog::mousePressEvent(QMouseEvent* event) {
    // Reached only where no control took the press: the window moves.
    if (event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void MainDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient band(0, 0, 0, 50);
    band.setColorAt(0, palette().color(QPalette::Highlight).lighter(120));
    band.setColorAt(1, palette().color(QPalette::Highlight));
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.fillRect(QRect(0, 0, width(), 44), band);
    QFont title = CommandFont();
    title.setPixelSize(18);
    painter.setFont(title);
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawText(QRect(15, 0, 400, 44), Qt::AlignVCenter | Qt::AlignLeft, "Tembrel");
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    // Out of the drag and drop handling first, so the source is not kept waiting.
    QMetaObject::invokeMethod(this, [this, urls] { AddDroppedItems(urls); }, Qt::QueuedConnection);
}

void MainDialog::CloseWithItsDialogs() {
    // A rejected dialog's loop ends once control is back in it; the sheets
    // and their files go as each caller unwinds.
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) dialog->reject();
    close();
}

void MainDialog::closeEvent(QCloseEvent* event) {
    // The window manager's close reaches the window even while it is
    // disabled for a run. The work in progress reads the list, so it is
    // cancelled as its Cancel button would, and the close waits for it.
    if (busy_ > 0) {
        closePending_ = true;
        for (ProgressWindow* window : findChildren<ProgressWindow*>()) window->RequestClose();
        event->ignore();
        return;
    }
    if (hooks_.closeHelp) hooks_.closeHelp();
    list_->clear();
    entries_.Clear();
    QWidget::closeEvent(event);
}

}  // namespace tembrel::app
