// Secondary windows are top-level windows of their own (so that disabling the
// main window leaves them usable) that appear over the centre of the main window
// each time they are shown.
#pragma once

#include <QDialog>

class QLabel;
class QTreeView;
class QPushButton;

namespace orvo {

class TCenteredDialog : public QDialog {
    Q_OBJECT
  public:
    TCenteredDialog(QWidget* owner, Qt::WindowFlags flags);
    void SetOwner(QWidget* owner) { owner_ = owner; }
    QWidget* Owner() const { return owner_; }

  protected:
    void showEvent(QShowEvent* event) override;

    // Controls placed at design positions (pixels at 96 dpi, grown with the font).
    QLabel* AddLabel(const QString& text, int left, int top, const char* name);
    QPushButton* AddButton(const QString& text, int left, int top, int width, int height,
                           const char* name);

  private:
    QWidget* owner_;
};

// How much the design's geometry grows with the desktop font: 1 up to a 12-pixel
// font (9 points at 96 dpi), in proportion above that. The scale factor of the
// screen needs nothing of this: the toolkit applies it to every pixel.
double DesignScale();
// A design length (pixels) at the desktop font.
int Design(int pixels);
QRect Design(const QRect& rect);
QSize Design(const QSize& size);
// Shrinks the widget's font until text fits into room pixels (not below 8 pixels).
void FitText(QWidget* widget, const QString& text, int room);

// Hints of the form "short|long": the tool-tip and the status-bar text.
void SetHint(QWidget* widget, const QString& hint);

// A flat report list: no tree decoration, whole rows, several rows selectable.
void UseReportView(QTreeView* view);

}  // namespace orvo
