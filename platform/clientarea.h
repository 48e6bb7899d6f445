#pragma once

#include <QPixmap>
#include <QWidget>

namespace platform {

// A window's client area: its background picture is drawn unscaled from the top-left corner,
// and the controls on it keep their places whatever size the window is given.
class ClientArea : public QWidget
{
    Q_OBJECT

public:
    explicit ClientArea(QWidget *parent = nullptr);

    void setPicture(const QPixmap &picture);
    QPixmap picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
};

} // namespace platform
