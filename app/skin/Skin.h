#pragma once

#include "app/skin/SkinForm.h"
#include "app/skin/SkinObject.h"

#include <QByteArray>
#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

// The skin control: draws a window from a form of an SVG skin file, places
// the window's own widgets where the form marks them, and reports clicks and
// drags on the form's named objects.
//
// Calls that cannot be carried out throw `Error`. Objects handed out stay
// valid for the control's lifetime, also after another form is applied.
class Skin : public QWidget {
    Q_OBJECT

public:
    explicit Skin(QWidget* parent = nullptr);
    ~Skin() override;

    // Reads the skin file; the forms in it are taken apart by ApplyForm.
    void LoadSkin(const QString& path);
    // The control covers `window` and draws it.
    void ApplySkin(QWidget* window);
    // Draws `window` as the form `formName` of the loaded skin, moves the
    // window's widgets onto the form's control places and gives them the
    // form's widget style.
    void ApplyForm(QWidget* window, const QString& formName);
    SkinForm* GetForm(QWidget* window) const;

    // The object of the applied form, or a detached one (never null).
    SkinObject* FindObject(const QString& name);
    // The object that takes the mouse at a window point, or null.
    SkinObject* objectAt(QPointF point) const;
    QString path() const { return path_; }

signals:
    void OnClick(SkinObject* source);
    void OnMouseDown(SkinObject* source, Qt::MouseButton button, int x, int y);
    void OnMouseUp(SkinObject* source, Qt::MouseButton button, int x, int y);
    void OnScrollTrack(SkinObject* source, int newPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void setHovered(SkinObject* object);
    void dragTo(double x);

    QString path_;
    QByteArray svg_;
    QPointer<QWidget> window_;
    std::unique_ptr<SkinForm> form_;
    // Forms replaced by a later ApplyForm, kept so handed-out objects stay valid.
    std::vector<std::unique_ptr<SkinForm>> retired_;
    std::map<QString, std::unique_ptr<SkinObject>> detached_;
    SkinObject* hovered_ = nullptr;
    SkinObject* pressed_ = nullptr;
    bool dragging_ = false;
    double grab_ = 0;
};
