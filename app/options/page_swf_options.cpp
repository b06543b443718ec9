#include "app/options/page_swf_options.h"

#include <cmath>
#include <utility>

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QTimer>

#include "app/widgets/colour_swatch.h"
#include "app/desktop/desktop_services.h"
#include "app/desktop/on_disk_paths.h"
#include "app/preview/flash_view.h"
#include "app/widgets/hex_colour.h"
#include "app/widgets/message_box.h"
#include "app/options/preview_builder.h"
#include "app/widgets/step_spin_button.h"
#include "swf/picture_embed.h"
#include "swf/template_kinds.h"


namespace tembrel::app {
namespace {

constexpr int kDefaultFrameRate = 12;
// How long a rebuild waits for the movie before it to load: a movie that
// never loads must not stop the preview for good.
constexpr int kLoadGuardMs = 3000;

CPageSWFOpt::HelpHook& Help() {
    static CPageSWFOpt::HelpHook hook;
    return hook;
}

QLabel* LinkText(const QString& text, QWidget* parent) {
    auto* link = new QLabel(QString("<a href=\"#\" style=\"color:#0000ff\">%1</a>").arg(text.toHtmlEscaped()), parent);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setCursor(Qt::PointingHandCursor);
    return link;
}

QRadioButton* Radio(const QString& text, const char* name, QWidget* parent) {
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(name);
    return radio;
}

QCheckBox* Check(const QString& text, const char* name, bool on, QWidget* parent) {
    auto* check = new QCheckBox(text, parent);
    check->setObjectName(name);
    check->setChecked(on);
    return check;
}

int Percent(float factor) { return static_cast<int>(std::lround(factor * 100.0f)); }

}  // namespace

void CPageSWFOpt::SetHelpHook(HelpHook hook) { Help() = std::move(hook); }

CPageSWFOpt::CPageSWFOpt(const ConversionSettings& settings, const std::string& programFolder, QWidget* parent,
                         ColourFactors& factors)
    : OptionsPage(parent),
      s_(settings),
      factors_(factors),
      programFolder_(programFolder),
      builder_(std::make_unique<PreviewBuilder>()) {
    colours_[kButton] = &s_.SWFBtnColor;
    colours_[kBackground] = &s_.SWFBkgColor;
    colours_[kTop] = &s_.TrackSWFBkgTopColor;
    colours_[kBottom] = &s_.TrackSWFBkgBottomColor;
    colours_[kBorder] = &s_.TrackSWFBorderColor;

    frameRates_ = new QComboBox(this);
    frameRates_->setObjectName("frameRates");
    for (int rate = kMinFrameRate; rate <= kMaxFrameRate; ++rate)
        frameRates_->addItem(rate == kDefaultFrameRate ? QString("%1 (default)").arg(rate) : QString::number(rate),
                             rate);
    const int rateIndex = frameRates_->findData(s_.SWFFrameRate);
    frameRates_->setCurrentIndex(rateIndex < 0 ? kDefaultFrameRate - 1 : rateIndex);

    controllable_ = Radio("Playback &controllable SWF", "controllable", this);
    noInterface_ = Radio("No interfaces S&WF", "noInterface", this);
    auto* typeGroup = new QButtonGroup(this);
    typeGroup->addButton(controllable_);
    typeGroup->addButton(noInterface_);
    (s_.CreateCtrlSWF != 0 ? controllable_ : noInterface_)->setChecked(true);

    initPlay_ = Check("&Play automatically", "initPlay", s_.SWFInitPlay != 0, this);
    loopPlay_ = Check("&Loop play", "loopPlay", s_.SWFLoopPlay != 0, this);
    createHtml_ = Check("Create &HTML file", "createHtml", s_.CreateHtmlFile != 0, this);
    addFileName_ = Check("Add file name at right of SWF in HTML file", "addFileName", s_.AddFileNameOnHtml != 0, this);
    addFileName_->setEnabled(createHtml_->isChecked());

    blankFrames_ = new StepSpinButton(this);
    blankFrames_->setObjectName("blankFrames");
    blankFrames_->SetRange(0, kMaxBlankFrames);
    blankFrames_->SetTypedMaximum(kMaxBlankFrames);
    blankFrames_->SetValue(s_.BlankFrames);
    // Room for the largest count the edit takes.
    blankFrames_->setMinimumWidth(blankFrames_->fontMetrics().horizontalAdvance("327670") + 24);
    blankHelp_ = new QPushButton("?", this);
    blankHelp_->setObjectName("blankFramesHelp");

    for (int i = 0; i < 2; ++i) {
        templates_[i] = new QComboBox(this);
        templates_[i]->setObjectName(i == 0 ? "controlTemplates" : "shellTemplates");
    }
    FillTemplates(templates_[0], programFolder_ + "ControlSWF/", s_.ControlSWF);
    FillTemplates(templates_[1], programFolder_ + "ControlSWF/ShellPlayer/", s_.ShellPlayerSWF);

    // The preview comes first: without it the page leaves out the colour
    // dialogs and the option groups that only shape the preview.
    previewArea_ = new QWidget(this);
    previewArea_->setObjectName("previewArea");
    previewArea_->setMinimumSize(300, 140);
    auto* previewLayout = new QVBoxLayout(previewArea_);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    view_ = FlashView::Create(previewArea_, programFolder_);
    if (view_) {
        view_->SetMenuShown(false);
        previewLayout->addWidget(view_);
        loadGuard_ = new QTimer(this);
        loadGuard_->setSingleShot(true);
        loadGuard_->setInterval(kLoadGuardMs);
        connect(loadGuard_, &QTimer::timeout, this, &CPageSWFOpt::PreviewLoaded);
        connect(view_, &FlashView::MovieLoaded, this, &CPageSWFOpt::PreviewLoaded, Qt::QueuedConnection);
        connect(builder_.get(), &PreviewBuilder::Built, this, &CPageSWFOpt::PreviewBuilt);
        connect(builder_.get(), &PreviewBuilder::Failed, this, &CPageSWFOpt::PreviewFailed);
    }

    auto* grid = new QGridLayout;
    int row = 0;
    auto* rateLabel = new QLabel("&Frame rate:", this);
    rateLabel->setBuddy(frameRates_);
    grid->addWidget(rateLabel, row, 0);
    grid->addWidget(frameRates_, row++, 1);
    grid->addWidget(controllable_, row, 0);
    grid->addWidget(noInterface_, row++, 1, 1, 2);
    grid->addWidget(BuildTypeArea(), row++, 0, 1, 4);
    grid->addWidget(initPlay_, row, 0);
    grid->addWidget(loopPlay_, row++, 1);
    grid->addWidget(createHtml_, row, 0);
    grid->addWidget(addFileName_, row++, 1, 1, 3);
    auto* blankRow = new QHBoxLayout;
    blankRow->addWidget(new QLabel("Add ", this));
    blankRow->addWidget(blankFrames_);
    blankRow->addWidget(new QLabel("blank frame(s) at beginning of SWF", this));
    blankRow->addWidget(blankHelp_);
    blankRow->addStretch();
    grid->addLayout(blankRow, row++, 0, 1, 4);
    auto* templateLabel = new QLabel("Co&ntrol SWF:", this);
    templateLabel->setBuddy(templates_[0]);
    grid->addWidget(templateLabel, row, 0);
    grid->addWidget(templates_[0], row, 1, 1, 3);
    grid->addWidget(templates_[1], row++, 1, 1, 3);
    grid->addWidget(ColourRow(kButton, "&Button color:"), row++, 0, 1, 4);
    grid->addWidget(ColourRow(kBackground, "B&ackground color:"), row++, 0, 1, 4);

    groupLabel_ = new QLabel("Button options:", this);
    auto* groups = new QVBoxLayout;
    groups->addWidget(groupLabel_);
    groups->addWidget(BuildGradientGroup());
    groups->addWidget(BuildTrackGroup());
    groups->addWidget(BuildPictureGroup());
    groups->addStretch();
    auto* lower = new QHBoxLayout;
    lower->addWidget(previewArea_, 1);
    lower->addLayout(groups);
    auto* page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addLayout(lower, 1);
    KeepOneSizeForEveryGroup(grid, lower);

    currentList_ = s_.ButtonSWFType == kPlayerWithShell ? 1 : 0;
    templates_[currentList_]->setVisible(true);
    templates_[1 - currentList_]->setVisible(false);
    ShowTypeControls();
    EnableBlankFrames();
    UpdateGroups();
    if (view_) view_->SetBackgroundColor(QString::fromStdString(HashHexText(s_.SWFBkgColor)));

    connect(controllable_, &QRadioButton::clicked, this, &CPageSWFOpt::TypeChosen);
    connect(noInterface_, &QRadioButton::clicked, this, &CPageSWFOpt::TypeChosen);
    connect(single_, &QRadioButton::clicked, this, &CPageSWFOpt::PlayerChosen);
    connect(withShell_, &QRadioButton::clicked, this, &CPageSWFOpt::PlayerChosen);
    connect(streaming_, &QRadioButton::clicked, this, &CPageSWFOpt::EnableBlankFrames);
    connect(event_, &QRadioButton::clicked, this, &CPageSWFOpt::EnableBlankFrames);
    connect(createHtml_, &QCheckBox::toggled, addFileName_, &QWidget::setEnabled);
    connect(blankHelp_, &QPushButton::clicked, this, [this] {
        ShowMessage(window(),
                    "It's very useful when add one or more blank frame(s) if the beginning of SWF audio isn't "
                    "played normally.",
                    MessageIcon::Information);
    });
    for (QComboBox* list : templates_) {
        connect(list, &QComboBox::activated, this, [this] {
            UpdateGroups();
            RebuildPreview();
        });
    }
    initialised_ = true;
    RebuildPreview();
}

CPageSWFOpt::~CPageSWFOpt() {
    // The view may still read the movie; it goes first, then the file, and
    // a build still running is abandoned without being waited for.
    delete view_;
    view_ = nullptr;
    builder_.reset();
}

const std::string& CPageSWFOpt::PreviewPath() const {
    static const std::string none;
    return builder_ ? builder_->Path() : none;
}

QWidget* CPageSWFOpt::BuildTypeArea() {
    // The two choices share one place: the player choice with controls, the
    // sound choice without.
    auto* area = new QWidget(this);
    auto* stack = new QGridLayout(area);
    stack->setContentsMargins(0, 0, 0, 0);

    playerChoice_ = new QWidget(area);
    single_ = Radio("Single &one SWF", "singleSwf", playerChoice_);
    withShell_ = Radio("So&und SWF with a shell player SWF", "withShellPlayer", playerChoice_);
    auto* players = new QButtonGroup(playerChoice_);
    players->addButton(single_);
    players->addButton(withShell_);
    (s_.ButtonSWFType == kPlayerWithShell ? withShell_ : single_)->setChecked(true);
    QLabel* swfLink = LinkText("Differences between the two types of SWFs above", playerChoice_);
    swfLink->setObjectName("swfTypesLink");
    connect(swfLink, &QLabel::linkActivated, this, [this] {
        if (Help()) Help()("faq.html", "swf_diff");
        else Desktop().OpenFile(programFolder_ + "help/faq.html");
    });
    auto* playerLayout = new QGridLayout(playerChoice_);
    playerLayout->setContentsMargins(0, 0, 0, 0);
    playerLayout->addWidget(single_, 0, 0);
    playerLayout->addWidget(withShell_, 0, 1);
    playerLayout->addWidget(swfLink, 1, 0, 1, 2);

    soundChoice_ = new QWidget(area);
    streaming_ = Radio("&Steaming sound", "streamingSound", soundChoice_);
    event_ = Radio("&Event sound", "eventSound", soundChoice_);
    auto* sounds = new QButtonGroup(soundChoice_);
    sounds->addButton(streaming_);
    sounds->addButton(event_);
    (s_.SWFSoundType == kSoundEvent ? event_ : streaming_)->setChecked(true);
    QLabel* soundLink = LinkText("Steaming sound vs. Event sound", soundChoice_);
    soundLink->setObjectName("soundTypeLink");
    connect(soundLink, &QLabel::linkActivated, this, [this] {
        ShowMessage(window(),
                    "Streaming sound can be played while downloading. But there's a little gap when loop play.\n\n"
                    "Event sound must be downloaded before it's played. There's no gaps when loop play.",
                    MessageIcon::Information);
    });
    auto* soundLayout = new QGridLayout(soundChoice_);
    soundLayout->setContentsMargins(0, 0, 0, 0);
    soundLayout->addWidget(streaming_, 0, 0);
    soundLayout->addWidget(event_, 0, 1);
    soundLayout->addWidget(soundLink, 1, 0, 1, 2);

    stack->addWidget(playerChoice_, 0, 0);
    stack->addWidget(soundChoice_, 0, 0);
    return area;
}

QWidget* CPageSWFOpt::ColourRow(ColourSlot slot, const QString& label) {
    static const char* const kNames[] = {"buttonColour", "backgroundColour", "topColour", "bottomColour",
                                         "borderColour"};
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* swatch = new ColourSwatch(row);
    swatch->setObjectName(QString(kNames[slot]) + "Swatch");
    swatch->SetColour(*colours_[slot]);
    auto* hex = new QLineEdit(QString::fromStdString(HexText(*colours_[slot])), row);
    hex->setObjectName(QString(kNames[slot]) + "Hex");
    hex->setMaxLength(6);
    hex->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,6}"), hex));
    hex->setFixedWidth(hex->fontMetrics().horizontalAdvance("DDDDDDDD"));
    auto* text = new QLabel(label, row);
    text->setBuddy(hex);
    layout->addWidget(text);
    layout->addStretch();
    layout->addWidget(swatch);
    layout->addWidget(new QLabel("#", row));
    layout->addWidget(hex);
    swatches_[slot] = swatch;
    hexEdits_[slot] = hex;
    connect(swatch, &ColourSwatch::clicked, this, [this, slot] { ChooseColour(slot); });
    connect(hex, &QLineEdit::textChanged, this, [this, slot] { HexEdited(slot); });
    return row;
}

QWidget* CPageSWFOpt::BuildGradientGroup() {
    gradientGroup_ = new QWidget(this);
    gradientGroup_->setObjectName("gradientGroup");
    auto* grid = new QGridLayout(gradientGroup_);
    grid->setContentsMargins(0, 0, 0, 0);
    auto addSlider = [&](int row, const char* name, float factor, QLabel*& text) {
        auto* slider = new QSlider(Qt::Horizontal, gradientGroup_);
        slider->setObjectName(name);
        slider->setRange(0, 100);
        slider->setSingleStep(1);
        slider->setValue(Percent(factor));
        text = new QLabel(QString::number(slider->value()), gradientGroup_);
        text->setMinimumWidth(text->fontMetrics().horizontalAdvance("500"));
        grid->addWidget(slider, row, 0);
        grid->addWidget(text, row, 1);
        return slider;
    };
    dark_ = addSlider(0, "darkFactor", factors_.GC[0], darkText_);
    light_ = addSlider(1, "lightFactor", factors_.GC[2], lightText_);
    lighter_ = addSlider(2, "lighterFactor", factors_.GC[3], lighterText_);
    presets_ = new QPushButton("Presets", gradientGroup_);
    presets_->setObjectName("presets");
    presetsMenu_ = new QMenu(presets_);
    presetsMenu_->setObjectName("presetsMenu");
    presetsMenu_->addAction("Style &1", this, [this] { ApplyStyle(40, 30, 80); });
    presetsMenu_->addAction("Style &2", this, [this] { ApplyStyle(60, 0, 50); });
    presetsMenu_->addAction("Style &3", this, [this] { ApplyStyle(70, 10, 10); });
    grid->addWidget(presets_, 3, 0);
    connect(presets_, &QPushButton::clicked, this,
            [this] { presetsMenu_->exec(presets_->mapToGlobal(presets_->rect().topRight())); });
    // Connected after the positions are set, so that showing the stored
    // factors does not round them.
    connect(dark_, &QSlider::valueChanged, this, [this] { SliderMoved(dark_, factors_.GC[0], darkText_); });
    connect(light_, &QSlider::valueChanged, this, [this] { SliderMoved(light_, factors_.GC[2], lightText_); });
    connect(lighter_, &QSlider::valueChanged, this,
            [this] { SliderMoved(lighter_, factors_.GC[3], lighterText_); });
    return gradientGroup_;
}

QWidget* CPageSWFOpt::BuildTrackGroup() {
    trackGroup_ = new QWidget(this);
    trackGroup_->setObjectName("trackGroup");
    auto* layout = new QVBoxLayout(trackGroup_);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* sliderRow = new QHBoxLayout;
    track_ = new QSlider(Qt::Horizontal, trackGroup_);
    track_->setObjectName("trackFactor");
    track_->setRange(0, 500);
    track_->setSingleStep(1);
    track_->setPageStep(20);
    track_->setValue(Percent(factors_.TBC));
    trackText_ = new QLabel(QString::number(track_->value()), trackGroup_);
    trackText_->setMinimumWidth(trackText_->fontMetrics().horizontalAdvance("500"));
    sliderRow->addWidget(track_);
    sliderRow->addWidget(trackText_);
    layout->addLayout(sliderRow);
    layout->addWidget(ColourRow(kBorder, "Border color:"));
    layout->addWidget(ColourRow(kTop, "Gradient bkg top color:"));
    layout->addWidget(ColourRow(kBottom, "Gradient bkg bottom color:"));
    connect(track_, &QSlider::valueChanged, this, [this] { SliderMoved(track_, factors_.TBC, trackText_); });
    return trackGroup_;
}

QWidget* CPageSWFOpt::BuildPictureGroup() {
    pictureGroup_ = new QWidget(this);
    pictureGroup_->setObjectName("pictureGroup");
    auto* grid = new QGridLayout(pictureGroup_);
    grid->setContentsMargins(0, 0, 0, 0);
    jpegFile_ = new QLineEdit(QString::fromStdString(s_.JPEGFile), pictureGroup_);
    jpegFile_->setObjectName("jpegFile");
    jpegFile_->setReadOnly(true);
    auto* browse = new QPushButton("Browse", pictureGroup_);
    browse->setObjectName("jpegBrowse");
    auto sideEdit = [&](const char* name, std::int32_t value) {
        auto* edit = new StepSpinButton(pictureGroup_);
        edit->setObjectName(name);
        // The sides a picture can be embedded at; others would not survive
        // the next start.
        edit->SetRange(1, kMaxPicturePixels);
        edit->SetTypedMaximum(kMaxPicturePixels);
        edit->SetValue(value);
        connect(edit, &StepSpinButton::ValueEdited, this, &CPageSWFOpt::PictureSizeEdited);
        return edit;
    };
    jpegWidth_ = sideEdit("jpegWidth", s_.JPEGWidth);
    jpegHeight_ = sideEdit("jpegHeight", s_.JPEGHeight);
    grid->addWidget(new QLabel("JPEG File:", pictureGroup_), 0, 0);
    grid->addWidget(jpegFile_, 0, 1, 1, 2);
    grid->addWidget(browse, 0, 3);
    grid->addWidget(new QLabel("Width:", pictureGroup_), 1, 0);
    grid->addWidget(jpegWidth_, 1, 1);
    grid->addWidget(new QLabel("Height: ", pictureGroup_), 2, 0);
    grid->addWidget(jpegHeight_, 2, 1);
    connect(browse, &QPushButton::clicked, this, &CPageSWFOpt::BrowsePicture);
    return pictureGroup_;
}

void CPageSWFOpt::KeepOneSizeForEveryGroup(QLayout* upper, QBoxLayout* lower) {
    // The page is as large from the start as its largest option group
    // needs, so the sheet neither grows when a template brings that group
    // nor stays grown after: the preview takes the room a smaller group leaves.
    QSize widest;
    for (QWidget* group : {gradientGroup_, trackGroup_, pictureGroup_})
        widest = widest.expandedTo(group->sizeHint());
    const int spacing = std::max(lower->spacing(), 0);
    const QSize lowerNeeds(previewArea_->minimumWidth() + spacing + widest.width(),
                           std::max(previewArea_->minimumHeight(),
                                    groupLabel_->sizeHint().height() + spacing + widest.height()));
    const QMargins margins = layout()->contentsMargins();
    setMinimumSize(std::max(upper->sizeHint().width(), lowerNeeds.width()) + margins.left() + margins.right(),
                   upper->sizeHint().height() + std::max(layout()->spacing(), 0) + lowerNeeds.height() +
                       margins.top() + margins.bottom());
}

void CPageSWFOpt::FillTemplates(QComboBox* list, const std::string& folder, const std::string& chosen) {
    const QFileInfoList files = QDir(QString::fromStdString(folder))
                                    .entryInfoList({"*.swf"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    const QString wanted = QString::fromStdString(chosen);
    const QString wantedCanonical = QFileInfo(wanted).canonicalFilePath();
    int selected = 0;
    for (const QFileInfo& file : files) {
        const QString path = QString::fromStdString(folder) + file.fileName();
        if (path.compare(wanted, Qt::CaseInsensitive) == 0 ||
            (!wantedCanonical.isEmpty() && file.canonicalFilePath() == wantedCanonical))
            selected = list->count();
        list->addItem(file.fileName(), path);
    }
    if (list->count() > 0) list->setCurrentIndex(selected);
}

int CPageSWFOpt::SwfType() const { return noInterface_->isChecked() ? 1 : 0; }
bool CPageSWFOpt::EventSound() const { return event_->isChecked(); }
QComboBox* CPageSWFOpt::CurrentTemplates() const { return templates_[currentList_]; }

int CPageSWFOpt::CurrentKind() const {
    const QComboBox* list = CurrentTemplates();
    if (list->currentIndex() < 0) return kTemplateKindNone;
    return TemplateKindFromName(list->currentData().toString().toStdString());
}

void CPageSWFOpt::ShowTypeControls() {
    const bool controls = SwfType() == 0;
    playerChoice_->setVisible(controls);
    soundChoice_->setVisible(!controls);
    for (QComboBox* list : templates_) list->setEnabled(controls);
    hexEdits_[kButton]->setEnabled(controls);
    swatches_[kButton]->setVisible(controls);
    previewArea_->setVisible(controls);
}

void CPageSWFOpt::UpdateGroups() {
    const bool shown = SwfType() == 0;
    const int kind = CurrentKind();
    // The picture group stays without a preview: a picture template cannot
    // be accepted without a picture.
    const bool gradient = shown && view_ && kind == kTemplateKindCircleGradient;
    const bool track = shown && view_ && kind == kTemplateKindTrack;
    const bool picture = shown && kind == kTemplateKindPicture;
    gradientGroup_->setVisible(gradient);
    trackGroup_->setVisible(track);
    pictureGroup_->setVisible(picture);
    groupLabel_->setVisible(gradient || track);
}

void CPageSWFOpt::EnableBlankFrames() {
    const bool enable = !(SwfType() == 1 && EventSound());
    blankFrames_->setEnabled(enable);
    blankHelp_->setEnabled(enable);
}

void CPageSWFOpt::TypeChosen() {
    ShowTypeControls();
    UpdateGroups();
    EnableBlankFrames();
}

void CPageSWFOpt::PlayerChosen() {
    const int chosen = withShell_->isChecked() ? 1 : 0;
    if (chosen == currentList_) return;
    const QString previous = templates_[currentList_]->currentText();
    templates_[currentList_]->setVisible(false);
    currentList_ = chosen;
    QComboBox* list = templates_[currentList_];
    list->setVisible(true);
    if (!previous.isEmpty()) {
        const int match = list->findText(previous, Qt::MatchStartsWith);
        if (match >= 0) list->setCurrentIndex(match);
    }
    UpdateGroups();
    RebuildPreview();
}

void CPageSWFOpt::ChooseColour(ColourSlot slot) {
    if (!view_) return;
    const ColourRef old = *colours_[slot];
    const QColor chosen = QColorDialog::getColor(QColor(RedOf(old), GreenOf(old), BlueOf(old)), this);
    if (!chosen.isValid()) return;
    const ColourRef colour = MakeColourRef(chosen.red(), chosen.green(), chosen.blue());
    if (colour == old) return;
    hexEdits_[slot]->setText(QString::fromStdString(HexText(colour)));
}

void CPageSWFOpt::HexEdited(ColourSlot slot) {
    if (!initialised_) return;
    const ColourRef colour = ParseHexColour(hexEdits_[slot]->text().toStdString());
    *colours_[slot] = colour;
    swatches_[slot]->SetColour(colour);
    if (slot == kBackground) {
        if (view_) view_->SetBackgroundColor(QString::fromStdString(HashHexText(colour)));
        return;
    }
    RebuildPreview();
}

void CPageSWFOpt::SliderMoved(QSlider* slider, float& factor, QLabel* text) {
    factor = static_cast<float>(slider->value()) * 0.01f;
    text->setText(QString::number(slider->value()));
    RebuildPreview();
}

void CPageSWFOpt::ApplyStyle(int dark, int light, int lighter) {
    const QSignalBlocker blockDark(dark_), blockLight(light_), blockLighter(lighter_);
    dark_->setValue(dark);
    light_->setValue(light);
    lighter_->setValue(lighter);
    darkText_->setText(QString::number(dark));
    lightText_->setText(QString::number(light));
    lighterText_->setText(QString::number(lighter));
    factors_.GC[0] = static_cast<float>(dark) * 0.01f;
    factors_.GC[2] = static_cast<float>(light) * 0.01f;
    factors_.GC[3] = static_cast<float>(lighter) * 0.01f;
    RebuildPreview();
}

void CPageSWFOpt::BrowsePicture() {
    QFileDialog dialog(this, QString(), jpegFile_->text());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The text shows the patterns ';'-separated; Qt reads them from the
    // blank-separated list after it, which it does not show.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter("JPEG File (*.jpg;*.jpeg;*.jpe;*.jfif) (*.jpg *.jpeg *.jpe *.jfif)");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().front();
    s_.JPEGFile = OnDiskPaths(path).front();
    jpegFile_->setText(path);
    RebuildPreview();
}

void CPageSWFOpt::PictureSizeEdited() {
    if (!initialised_) return;
    if (auto w = jpegWidth_->Value()) s_.JPEGWidth = *w;
    if (auto h = jpegHeight_->Value()) s_.JPEGHeight = *h;
    RebuildPreview();
}

void CPageSWFOpt::RebuildPreview() {
    if (!view_ || CurrentTemplates()->currentIndex() < 0) return;
    if (previewLoading_) {
        rebuildPending_ = true;
        return;
    }
    builder_->Request(
        PreviewRequest{s_, CurrentTemplates()->currentData().toString().toStdString(), factors_});
}

void CPageSWFOpt::PreviewBuilt() {
    previewLoading_ = true;
    loadGuard_->start();
    view_->LoadMovie(MovieAddressOfFile(builder_->Path()));
}

void CPageSWFOpt::PreviewFailed(const QString& message) {
    // A template that cannot be used simply shows nothing; running out of
    // memory is told, as the preview would otherwise stay unexplained.
    if (!message.isEmpty()) ShowMessage(window(), message, MessageIcon::Exclamation);
}

void CPageSWFOpt::PreviewLoaded() {
    previewLoading_ = false;
    loadGuard_->stop();
    if (!std::exchange(rebuildPending_, false)) return;
    RebuildPreview();
}

bool CPageSWFOpt::Validate() {
    std::int32_t v = 0;
    if (!ReadNumber(blankFrames_, 0, kMaxBlankFrames, v)) return false;
    return ReadNumber(jpegWidth_, 1, kMaxPicturePixels, v) && ReadNumber(jpegHeight_, 1, kMaxPicturePixels, v);
}

bool CPageSWFOpt::Apply(ConversionSettings& s) {
    if (!Validate()) return false;
    // Without controls no template is used, so no picture is needed.
    if (SwfType() == 0 && CurrentKind() == kTemplateKindPicture && s_.JPEGFile.empty()) {
        ShowMessage(window(), "Please choose a JPEG file.", MessageIcon::Exclamation);
        return false;
    }
    s.SWFFrameRate = frameRates_->currentData().toInt();
    s.CreateCtrlSWF = SwfType() == 0 ? 1 : 0;
    s.SWFSoundType = EventSound() ? kSoundEvent : kSoundStreaming;
    s.ButtonSWFType = withShell_->isChecked() ? kPlayerWithShell : kPlayerSingle;
    s.SWFInitPlay = initPlay_->isChecked() ? 1 : 0;
    s.SWFLoopPlay = loopPlay_->isChecked() ? 1 : 0;
    s.CreateHtmlFile = createHtml_->isChecked() ? 1 : 0;
    s.AddFileNameOnHtml = addFileName_->isChecked() ? 1 : 0;
    s.BlankFrames = *blankFrames_->Value();
    s.JPEGWidth = *jpegWidth_->Value();
    s.JPEGHeight = *jpegHeight_->Value();
    s.JPEGFile = s_.JPEGFile;
    for (int slot = 0; slot < kColourSlots; ++slot)
        *colours_[slot] = ParseHexColour(hexEdits_[slot]->text().toStdString());
    s.SWFBtnColor = s_.SWFBtnColor;
    s.SWFBkgColor = s_.SWFBkgColor;
    s.TrackSWFBkgTopColor = s_.TrackSWFBkgTopColor;
    s.TrackSWFBkgBottomColor = s_.TrackSWFBkgBottomColor;
    s.TrackSWFBorderColor = s_.TrackSWFBorderColor;
    if (SwfType() == 0) {
        if (templates_[0]->currentIndex() >= 0) s.ControlSWF = templates_[0]->currentData().toString().toStdString();
        if (templates_[1]->currentIndex() >= 0)
            s.ShellPlayerSWF = templates_[1]->currentData().toString().toStdString();
    }
    return true;
}

}  // namespace tembrel::app
