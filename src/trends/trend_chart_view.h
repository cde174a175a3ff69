#pragma once

#include <QChartView>
#include <QColor>
#include <QList>
#include <optional>
#include <vector>

#include "trends/device_trends.h"

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace frosk {

// One chart of the trends window: its channels' lines against the shared time
// axis, the status changes as marked times, and the time under the mouse.
// Times on the axis are milliseconds since the epoch; the trends' own time is
// their milliseconds since they began, `anchorMs` after the epoch.
class TrendChartView : public QChartView {
  Q_OBJECT

 public:
  TrendChartView(const TrendChart& chart, QWidget* parent = nullptr);

  const TrendChart& Chart() const { return chart_; }
  // Draws the channels between two trends times, at most a point pair per
  // pixel column, each line broken where the device did not answer.
  void Render(const DeviceTrends& trends, int64_t anchorMs, int64_t fromMs, int64_t toMs);
  // The marks of status changes; their texts are written only on the chart
  // that shows them (the top one).
  void SetMarks(std::vector<StatusMark> marks, std::optional<int64_t> lockedMs, std::optional<int64_t> lockTimeMs,
                bool withTexts);
  // The time under the mouse on any chart, drawn on every chart.
  void SetCursor(std::optional<int64_t> ms);
  // The lines drawn for a channel (one per stretch of replies), for tests.
  QList<QLineSeries*> LinesOf(size_t channel) const;

 signals:
  // The mouse is over the plot at a trends time, or has left it.
  void Hovered(std::optional<int64_t> ms);
  // The user dragged over a time range to zoom into it.
  void RangeChosen(int64_t fromMs, int64_t toMs);

 protected:
  void drawForeground(QPainter* painter, const QRectF& rect) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct ChannelLines {
    const TrendChannel* channel;
    QColor colour;
    std::vector<QLineSeries*> lines;
  };

  QLineSeries* AddLine(ChannelLines& channel, bool inLegend);
  std::optional<int64_t> TrendsTimeAt(const QPointF& position) const;
  double XOf(int64_t ms) const;

  const TrendChart& chart_;
  QDateTimeAxis* timeAxis_;
  QValueAxis* leftAxis_;
  QValueAxis* rightAxis_ = nullptr;
  std::vector<ChannelLines> channels_;
  int64_t anchorMs_ = 0;
  std::vector<StatusMark> marks_;
  std::optional<int64_t> lockedMs_;
  std::optional<int64_t> lockTimeMs_;
  bool markTexts_ = false;
  std::optional<int64_t> cursor_;
};

// A raw value as its field shows it: scaled by its decimals, with its unit.
QString TrendValueText(Key field, int32_t raw);
// "38.4 s", "12 min 5.0 s".
QString DurationText(int64_t ms);

}  // namespace frosk
