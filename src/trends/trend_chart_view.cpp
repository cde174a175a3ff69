#include "trends/trend_chart_view.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "common/form_basics.h"
#include "protocol/catalogue.h"
#include "protocol/device_codes.h"

namespace frosk {

namespace {

// One colour per channel of a chart, in the channels' order.
const QColor kChannelColours[] = {{0, 65, 131},  {220, 55, 12},   {65, 155, 49}, {128, 64, 160}, {0, 140, 160},
                                  {200, 140, 0}, {120, 120, 120}, {170, 0, 90},  {90, 60, 20},   {0, 0, 0}};
const QColor kMarkColour{0, 65, 131};
const QColor kErrorMarkColour{220, 0, 0};
const QColor kLockColour{0, 150, 40};
const QColor kCursorColour{110, 110, 110};

// Every chart keeps its plot in the same place, so that the charts' time axes
// line up whatever their labels and legends take: room for the title above,
// the time below, a unit's labels on each side, and the legend on the right.
constexpr double kPlotLeft = 72;
constexpr double kPlotTop = 30;
constexpr double kPlotRight = 250;
constexpr double kPlotBottom = 32;

int DecimalsOf(const FieldSpec* field) {
  return field != nullptr && field->decimals != kUndefined && field->decimals > 0 ? field->decimals : 0;
}

double Scaled(Key field, int32_t raw) { return raw / std::pow(10.0, DecimalsOf(FindField(field))); }

QString UnitOf(const TrendChart& chart, bool rightAxis) {
  for (const TrendChannel& channel : chart.channels)
    if (channel.rightAxis == rightAxis)
      if (const FieldSpec* field = FindField(channel.field)) return QString::fromUtf8(field->unit);
  return {};
}

QString MarkText(const StatusMark& mark) {
  const std::string_view text = StatusText(mark.code);
  return text.empty() ? QStringLiteral("Status %1").arg(mark.code) : QString::fromUtf8(text);
}

// Fits an axis to the values it shows, with a little room above and below.
void FitAxis(QValueAxis* axis, double low, double high) {
  if (axis == nullptr || low > high) return;
  const double room = high > low ? (high - low) * 0.08 : std::max(std::abs(high) * 0.05, 0.5);
  axis->setRange(low - room, high + room);
}

}  // namespace

QString TrendValueText(Key field, int32_t raw) {
  const FieldSpec* definition = FindField(field);
  const QString number = QString::number(Scaled(field, raw), 'f', DecimalsOf(definition));
  return definition == nullptr || definition->unit.empty() ? number
                                                           : number + " " + QString::fromUtf8(definition->unit);
}

QString DurationText(int64_t ms) {
  const int64_t minutes = ms / 60000;
  const QString seconds = QString::number((ms % 60000) / 1000.0, 'f', 1);
  return minutes > 0 ? QStringLiteral("%1 min %2 s").arg(minutes).arg(seconds) : seconds + " s";
}

TrendChartView::TrendChartView(const TrendChart& chart, QWidget* parent) : QChartView(parent), chart_(chart) {
  setObjectName(QString::fromUtf8(chart.name));
  auto* plot = new QChart;
  plot->setTitle(QString::fromUtf8(chart.title));
  plot->setTitleFont(UiFont(12, true));
  plot->setAnimationOptions(QChart::NoAnimation);
  plot->legend()->setAlignment(Qt::AlignRight);
  plot->legend()->setFont(UiFont(10));
  plot->setMargins(QMargins(4, 0, 4, 0));
  setChart(plot);
  setRenderHint(QPainter::Antialiasing, false);
  // A redraw moves every line and axis: one paint of the whole view is
  // cheaper than working out the many small regions that changed.
  setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
  setRubberBand(QChartView::HorizontalRubberBand);
  setMouseTracking(true);

  timeAxis_ = new QDateTimeAxis;
  timeAxis_->setFormat(QStringLiteral("HH:mm:ss"));
  timeAxis_->setTickCount(7);
  timeAxis_->setLabelsFont(UiFont(10));
  plot->addAxis(timeAxis_, Qt::AlignBottom);
  leftAxis_ = new QValueAxis;
  leftAxis_->setTitleText(UnitOf(chart, false));
  leftAxis_->setLabelsFont(UiFont(10));
  plot->addAxis(leftAxis_, Qt::AlignLeft);
  if (!UnitOf(chart, true).isEmpty()) {
    rightAxis_ = new QValueAxis;
    rightAxis_->setTitleText(UnitOf(chart, true));
    rightAxis_->setLabelsFont(UiFont(10));
    plot->addAxis(rightAxis_, Qt::AlignRight);
  }
  size_t index = 0;
  for (const TrendChannel& channel : chart.channels) {
    channels_.push_back({&channel, kChannelColours[index++ % std::size(kChannelColours)], {}});
    AddLine(channels_.back(), true);
  }
}

QLineSeries* TrendChartView::AddLine(ChannelLines& channel, bool inLegend) {
  auto* line = new QLineSeries;
  line->setName(QString::fromUtf8(channel.channel->label));
  QPen pen(channel.colour);
  pen.setWidthF(1.5);
  // A setting is drawn dashed beside the measurement it governs.
  if (channel.channel->source == TrendSource::kControllerSetting) pen.setStyle(Qt::DashLine);
  line->setPen(pen);
  chart()->addSeries(line);
  line->attachAxis(timeAxis_);
  line->attachAxis(channel.channel->rightAxis && rightAxis_ != nullptr ? rightAxis_ : leftAxis_);
  if (!inLegend)
    for (QLegendMarker* marker : chart()->legend()->markers(line)) marker->setVisible(false);
  channel.lines.push_back(line);
  return line;
}

void TrendChartView::Render(const DeviceTrends& trends, int64_t anchorMs, int64_t fromMs, int64_t toMs) {
  anchorMs_ = anchorMs;
  const int columns = std::max(100, static_cast<int>(chart()->plotArea().width()));
  double low[2] = {INFINITY, INFINITY};
  double high[2] = {-INFINITY, -INFINITY};
  for (ChannelLines& channel : channels_) {
    const TrendChannel& trend = *channel.channel;
    const std::vector<SampleStream::Line> lines =
        StreamOf(trends.Samples(), trend).Envelope(StreamIndex(trend), fromMs, toMs, columns);
    while (channel.lines.size() < lines.size()) AddLine(channel, false);
    const int side = trend.rightAxis && rightAxis_ != nullptr ? 1 : 0;
    for (size_t i = 0; i < channel.lines.size(); ++i) {
      QList<QPointF> points;
      if (i < lines.size()) {
        points.reserve(static_cast<qsizetype>(lines[i].size()));
        for (const SampleStream::Point& point : lines[i]) {
          const double value = Scaled(trend.field, point.value);
          points.append({static_cast<double>(anchorMs + point.ms), value});
          if (point.ms < fromMs || point.ms > toMs) continue;
          low[side] = std::min(low[side], value);
          high[side] = std::max(high[side], value);
        }
      }
      channel.lines[i]->replace(points);
    }
  }
  timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(anchorMs + fromMs),
                      QDateTime::fromMSecsSinceEpoch(anchorMs + std::max(toMs, fromMs + 1)));
  FitAxis(leftAxis_, low[0], high[0]);
  FitAxis(rightAxis_, low[1], high[1]);
  viewport()->update();
}

void TrendChartView::SetMarks(std::vector<StatusMark> marks, std::optional<int64_t> lockedMs,
                              std::optional<int64_t> lockTimeMs, bool withTexts) {
  marks_ = std::move(marks);
  lockedMs_ = lockedMs;
  lockTimeMs_ = lockTimeMs;
  markTexts_ = withTexts;
  viewport()->update();
}

void TrendChartView::SetCursor(std::optional<int64_t> ms) {
  if (cursor_ == ms) return;
  cursor_ = ms;
  viewport()->update();
}

QList<QLineSeries*> TrendChartView::LinesOf(size_t channel) const {
  QList<QLineSeries*> lines;
  if (channel < channels_.size())
    for (QLineSeries* line : channels_[channel].lines)
      if (line->count() > 0) lines.append(line);
  return lines;
}

double TrendChartView::XOf(int64_t ms) const {
  const QRectF plot = chart()->plotArea();
  const double from = static_cast<double>(timeAxis_->min().toMSecsSinceEpoch());
  const double to = static_cast<double>(timeAxis_->max().toMSecsSinceEpoch());
  if (to <= from) return plot.left();
  return plot.left() + (static_cast<double>(anchorMs_ + ms) - from) / (to - from) * plot.width();
}

std::optional<int64_t> TrendChartView::TrendsTimeAt(const QPointF& position) const {
  const QPointF inChart = chart()->mapFromScene(mapToScene(position.toPoint()));
  const QRectF plot = chart()->plotArea();
  if (!plot.contains(inChart) || plot.width() <= 0) return std::nullopt;
  const double from = static_cast<double>(timeAxis_->min().toMSecsSinceEpoch());
  const double to = static_cast<double>(timeAxis_->max().toMSecsSinceEpoch());
  return static_cast<int64_t>(std::llround(from + (inChart.x() - plot.left()) / plot.width() * (to - from))) -
         anchorMs_;
}

void TrendChartView::drawForeground(QPainter* painter, const QRectF& rect) {
  QChartView::drawForeground(painter, rect);
  const QRectF plot = chart()->mapRectToScene(chart()->plotArea());
  const double shift = plot.left() - chart()->plotArea().left();
  painter->save();
  painter->setFont(UiFont(11, true));
  int row = 0;
  for (const StatusMark& mark : marks_) {
    const double x = XOf(mark.ms) + shift;
    if (x < plot.left() || x > plot.right()) continue;
    const bool lock = lockedMs_ == mark.ms && mark.code == kStatusTemperatureLocked;
    const QColor colour = lock ? kLockColour : (mark.code >= kFirstErrorStatus ? kErrorMarkColour : kMarkColour);
    painter->setPen(QPen(colour, lock ? 2.0 : 1.0, Qt::DashLine));
    painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    if (!markTexts_) continue;
    QString text = MarkText(mark);
    if (lock && lockTimeMs_) text += " after " + DurationText(*lockTimeMs_);
    painter->setPen(colour);
    painter->drawText(QPointF(x + 4, plot.top() + 14 + 16 * (row++ % 3)), text);
  }
  if (cursor_) {
    const double x = XOf(*cursor_) + shift;
    if (x >= plot.left() && x <= plot.right()) {
      painter->setPen(QPen(kCursorColour, 1.0));
      painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
  }
  painter->restore();
}

void TrendChartView::resizeEvent(QResizeEvent* event) {
  QChartView::resizeEvent(event);
  const QSizeF size = chart()->size();
  chart()->setPlotArea(QRectF(kPlotLeft, kPlotTop, std::max(10.0, size.width() - kPlotLeft - kPlotRight),
                              std::max(10.0, size.height() - kPlotTop - kPlotBottom)));
}

void TrendChartView::mouseMoveEvent(QMouseEvent* event) {
  QChartView::mouseMoveEvent(event);
  emit Hovered(TrendsTimeAt(event->position()));
}

void TrendChartView::leaveEvent(QEvent* event) {
  QChartView::leaveEvent(event);
  emit Hovered(std::nullopt);
}

// The chart zooms itself as the rubber band ends; the window then puts every
// chart on the range chosen.
void TrendChartView::mouseReleaseEvent(QMouseEvent* event) {
  const QDateTime from = timeAxis_->min();
  const QDateTime to = timeAxis_->max();
  QChartView::mouseReleaseEvent(event);
  if (timeAxis_->min() == from && timeAxis_->max() == to) return;
  emit RangeChosen(timeAxis_->min().toMSecsSinceEpoch() - anchorMs_, timeAxis_->max().toMSecsSinceEpoch() - anchorMs_);
}

}  // namespace frosk
