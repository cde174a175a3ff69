#include "trends/trends_form.h"

#include <QChart>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "common/form_basics.h"
#include "device/device_engine.h"
#include "protocol/keys.h"
#include "trends/recording_buttons.h"
#include "trends/trend_chart_view.h"

namespace frosk {

namespace {

struct SpanChoice {
  const char* text;
  int64_t ms;  // 0: everything
};
constexpr SpanChoice kSpans[] = {{"1 min", 60'000}, {"10 min", 600'000}, {"1 h", 3'600'000}, {"all", 0}};

constexpr unsigned kErrorMessage = mb::kOk | mb::kIconStop;

QString SizeText(uint64_t bytes) {
  if (bytes < 1024) return QStringLiteral("%1 bytes").arg(bytes);
  if (bytes < 1024 * 1024) return QString::number(bytes / 1024.0, 'f', 1) + " kB";
  return QString::number(bytes / (1024.0 * 1024.0), 'f', 1) + " MB";
}

}  // namespace

TTrendsForm::TTrendsForm(DeviceTrends& trends, QWidget* parent)
    : QWidget(parent), trends_(trends), anchorMs_(EpochMs(trends.Began())) {
  BuildLayout();
  redrawTimer_.setInterval(kRedrawMs);
  connect(&redrawTimer_, &QTimer::timeout, this, [this] {
    if (!following_) {
      if (dirty_) Redraw();
      return;
    }
    // A followed chart moves by whole pixels: over a long span a second moves
    // it, and the newest samples, by less than one, so it is drawn again only
    // once it moved by two.
    const int64_t span = toMs_ - fromMs_;
    const int width = std::max(1, static_cast<int>(charts_.front()->chart()->plotArea().width()));
    if (redrawAge_.isValid() && redrawAge_.elapsed() < 2 * span / width) return;
    Redraw();
  });
  connect(&trends_, &DeviceTrends::SamplesAdded, this, [this] { dirty_ = true; });
  connect(&trends_, &DeviceTrends::RecordingChanged, this, &TTrendsForm::ShowRecording);
  connect(spanComboBox_, &QComboBox::currentIndexChanged, this, &TTrendsForm::TrendsSpanComboBoxChange);
  connect(pauseBitBtn_, &QPushButton::clicked, this, &TTrendsForm::TrendsPauseBitBtnClick);
  connect(exportBitBtn_, &QPushButton::clicked, this, &TTrendsForm::TrendsExportBitBtnClick);
  for (TrendChartView* chart : charts_) {
    connect(chart, &TrendChartView::RangeChosen, this, &TTrendsForm::ChartRangeChosen);
    connect(chart, &TrendChartView::Hovered, this, &TTrendsForm::ChartHovered);
  }
  ShowRecording();
}

TTrendsForm::~TTrendsForm() = default;

void TTrendsForm::BuildLayout() {
  setObjectName(QStringLiteral("TrendsForm"));
  setWindowTitle(QStringLiteral("FroskTEC Trends"));
  setWindowFlags(Qt::Window);
  setFont(UiFont(11));
  resize(1000, 980);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  auto* bar = new QHBoxLayout;
  layout->addLayout(bar);
  auto* spanLabel = new QLabel(QStringLiteral("Span:"), this);
  spanLabel->setObjectName(QStringLiteral("TrendsSpanLabel"));
  bar->addWidget(spanLabel);
  spanComboBox_ = new QComboBox(this);
  spanComboBox_->setObjectName(QStringLiteral("TrendsSpanComboBox"));
  for (const SpanChoice& span : kSpans) spanComboBox_->addItem(QString::fromUtf8(span.text));
  spanComboBox_->setCurrentIndex(1);
  bar->addWidget(spanComboBox_);
  pauseBitBtn_ = new QPushButton(QStringLiteral("Pause"), this);
  pauseBitBtn_->setObjectName(QStringLiteral("TrendsPauseBitBtn"));
  bar->addWidget(pauseBitBtn_);
  exportBitBtn_ = new QPushButton(QStringLiteral("Export PNG..."), this);
  exportBitBtn_->setObjectName(QStringLiteral("TrendsExportBitBtn"));
  bar->addWidget(exportBitBtn_);
  bar->addSpacing(16);
  lockTimeLabel_ = new QLabel(this);
  lockTimeLabel_->setObjectName(QStringLiteral("TrendsLockTimeLabel"));
  lockTimeLabel_->setFont(UiFont(12, true));
  bar->addWidget(lockTimeLabel_);
  bar->addStretch(1);
  recordingButtons_ = new RecordingButtons(trends_, this);
  bar->addWidget(recordingButtons_->Record());
  bar->addWidget(recordingButtons_->Folder());

  recordingLabel_ = new QLabel(this);
  recordingLabel_->setObjectName(QStringLiteral("TrendsRecordingLabel"));
  recordingLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(recordingLabel_);

  chartsPanel_ = new QWidget(this);
  chartsPanel_->setObjectName(QStringLiteral("TrendsChartsPanel"));
  auto* charts = new QVBoxLayout(chartsPanel_);
  charts->setContentsMargins(0, 0, 0, 0);
  charts->setSpacing(0);
  for (const TrendChart& chart : TrendCharts()) {
    auto* view = new TrendChartView(chart, chartsPanel_);
    view->setMinimumHeight(140);
    // A legend takes a line per channel.
    charts->addWidget(view, static_cast<int>(2 + chart.channels.size() / 2));
    charts_.push_back(view);
  }
  layout->addWidget(chartsPanel_, 1);

  valueLabel_ = new QLabel(this);
  valueLabel_->setObjectName(QStringLiteral("TrendsValueLabel"));
  valueLabel_->setMinimumHeight(20);
  layout->addWidget(valueLabel_);
  ShowLockTime();
}

std::optional<int64_t> TTrendsForm::SpanMs() const {
  const int index = spanComboBox_->currentIndex();
  if (index < 0 || kSpans[index].ms == 0) return std::nullopt;
  return kSpans[index].ms;
}

void TTrendsForm::Redraw() {
  dirty_ = false;
  redrawAge_.start();
  const SampleStore& store = trends_.Samples();
  if (following_) {
    toMs_ = trends_.NowMs();
    const std::optional<int64_t> first = store.Controller().FirstMs();
    fromMs_ = SpanMs() ? toMs_ - *SpanMs() : std::min(first.value_or(toMs_), toMs_ - 60'000);
  }
  const std::vector<StatusMark> marks(store.Marks().begin(), store.Marks().end());
  bool texts = true;
  for (TrendChartView* chart : charts_) {
    const bool shown = !chart->Chart().module || !store.Module().Empty();
    if (chart->isVisible() != shown) chart->setVisible(shown);
    if (!shown) continue;
    chart->Render(trends_, anchorMs_, fromMs_, toMs_);
    chart->SetMarks(marks, store.LockedMs(), store.LockTimeMs(), std::exchange(texts, false));
  }
  ShowLockTime();
  const std::string serial = trends_.Connection().Engine().DeviceIden().At(key::DEVICE_IDEN_SERIAL).ValueToText();
  setWindowTitle(QStringLiteral("FroskTEC Trends - %1").arg(QString::fromStdString(serial)));
}

void TTrendsForm::ShowLockTime() {
  const std::optional<int64_t> lockTime = trends_.Samples().LockTimeMs();
  const QString text = lockTime ? "Lock time: " + DurationText(*lockTime) : QStringLiteral("Lock time: -");
  if (lockTimeLabel_->text() != text) lockTimeLabel_->setText(text);
}

void TTrendsForm::ShowRecording() {
  Recorder& recorder = trends_.Recording();
  QString text = QStringLiteral("Not recording");
  if (!recorder.Path().empty())
    text = (recorder.Recording() ? QStringLiteral("Recording to %1 (%2)") : QStringLiteral("Recorded to %1 (%2)"))
               .arg(QString::fromStdString(recorder.Path()), SizeText(recorder.Size()));
  if (recordingLabel_->text() != text) recordingLabel_->setText(text);
  SetTextColour(recordingLabel_, recorder.Recording() ? kRedOrange : QColor(Qt::black));
}

void TTrendsForm::TrendsSpanComboBoxChange() {
  following_ = true;
  pauseBitBtn_->setText(QStringLiteral("Pause"));
  Redraw();
}

void TTrendsForm::TrendsPauseBitBtnClick() {
  following_ = !following_;
  pauseBitBtn_->setText(following_ ? QStringLiteral("Pause") : QStringLiteral("Follow"));
  Redraw();
}

void TTrendsForm::ChartRangeChosen(int64_t fromMs, int64_t toMs) {
  following_ = false;
  pauseBitBtn_->setText(QStringLiteral("Follow"));
  fromMs_ = fromMs;
  toMs_ = std::max(toMs, fromMs + 1);
  Redraw();
}

void TTrendsForm::ChartHovered(std::optional<int64_t> ms) {
  auto* hovered = qobject_cast<TrendChartView*>(sender());
  for (TrendChartView* chart : charts_) chart->SetCursor(ms);
  if (!ms || hovered == nullptr) {
    valueLabel_->clear();
    return;
  }
  // Near enough is a few pixels' worth of time, and never less than a poll.
  const int64_t reach = std::max<int64_t>(1000, (toMs_ - fromMs_) / 200);
  QStringList parts{QDateTime::fromMSecsSinceEpoch(anchorMs_ + *ms).toString(QStringLiteral("HH:mm:ss.zzz"))};
  for (const TrendChannel& channel : hovered->Chart().channels) {
    const std::optional<SampleStream::Reading> reading =
        StreamOf(trends_.Samples(), channel).ReadingAt(StreamIndex(channel), *ms, reach);
    if (!reading) continue;
    QString value = TrendValueText(channel.field, reading->min);
    if (reading->max != reading->min) value += " to " + TrendValueText(channel.field, reading->max);
    parts << QString::fromUtf8(channel.label) + " " + value;
  }
  valueLabel_->setText(parts.join(QStringLiteral("   ")));
}

void TTrendsForm::TrendsExportBitBtnClick() {
  Prompter& prompter = trends_.Connection().Engine().Questions();
  const std::optional<std::string> path = prompter.AskSaveFileName({"PNG Images|*.png", ".png"});
  if (!path) return;
  if (!chartsPanel_->grab().save(QString::fromStdString(*path), "PNG"))
    prompter.ShowMessageBox("Export failed !\r" + *path + " could not be written.", kErrorMessage);
}

void TTrendsForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Redraw();
  redrawTimer_.start();
}

void TTrendsForm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  redrawTimer_.stop();
}

}  // namespace frosk
