// The skin control on its own: reading skins, the objects' behaviour, the
// mouse events, and what is drawn where.
#include "app/skin/Skin.h"
#include "platform/Error.h"

#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString DefaultSkin = QStringLiteral(TARNWELL_BIN_DIR "/mp3enc.dll");

// A small skin: one button with looks, a slider, a text, a bar, a control.
const char* TinySkin =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100" viewBox="0 0 200 100">
  <g id="Form">
    <rect class="frame" x="0" y="0" width="200" height="100" fill="#102030"/>
    <g id="go" class="button">
      <title>Go now</title>
      <rect x="10" y="10" width="40" height="20" fill="#ff0000"/>
      <rect class="hover" display="none" x="10" y="10" width="40" height="20" fill="#00ff00"/>
      <rect class="pressed" display="none" x="10" y="10" width="40" height="20" fill="#0000ff"/>
    </g>
    <g id="pb" class="slider">
      <rect class="track" x="10" y="40" width="110" height="10" fill="#202020"/>
      <rect class="thumb" x="10" y="40" width="10" height="10" fill="#ffffff"/>
    </g>
    <g id="label" class="text">
      <rect class="box" x="130" y="10" width="60" height="20" fill="none"/>
      <text x="160" y="25" font-size="14" font-weight="bold" fill="#ffff00" text-anchor="middle">hi</text>
    </g>
    <rect id="bar" class="bar" x="10" y="60" width="100" height="10" fill="#00ffff"/>
    <rect id="edit" class="control" x="130" y="40" width="60" height="24" fill="#000"/>
  </g>
</svg>)";

class SkinTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString write(const QByteArray& svg, const QString& name = QStringLiteral("skin.svg")) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(svg);
        return path;
    }
};

// A window with a skin applied from `path` and form `form`.
struct SkinnedWindow {
    QWidget window;
    Skin* skin;
    SkinnedWindow(const QString& path, const QString& form, QSize size) {
        window.setFixedSize(size);
        skin = new Skin(&window);
        skin->LoadSkin(path);
        skin->ApplySkin(&window);
        skin->ApplyForm(&window, form);
        window.show();
        QCoreApplication::processEvents();
    }
    QImage grab() { return window.grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

QColor pixel(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

// Mean absolute difference per channel over `area`.
double difference(const QImage& a, const QImage& b, const QRect& area) {
    double sum = 0;
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor p(a.pixel(x, y));
            const QColor q(b.pixel(x, y));
            sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                   std::abs(p.blue() - q.blue());
            count += 3;
        }
    return count ? sum / count : 0;
}

TEST_F(SkinTest, UnusableFilesAndFormsAreErrors) {
    QWidget window;
    Skin skin;
    EXPECT_THROW(skin.LoadSkin(dir.filePath("missing.svg")), Error);
    EXPECT_THROW(skin.ApplySkin(&window), Error) << "nothing loaded yet";
    skin.LoadSkin(write("<svg><g id='x'/>"));
    skin.ApplySkin(&window);
    EXPECT_THROW(skin.ApplyForm(&window, "x"), Error) << "not well-formed";
    skin.LoadSkin(write(TinySkin));
    EXPECT_THROW(skin.ApplyForm(&window, "Quarnwick"), Error);
    EXPECT_THROW(skin.GetForm(&window), Error);
    skin.ApplyForm(&window, "Form");
    QWidget other;
    EXPECT_THROW(skin.GetForm(&other), Error);
    EXPECT_EQ(skin.GetForm(&window)->size(), QSize(200, 100));
}

TEST_F(SkinTest, MissingNamesGiveDetachedObjectsThatKeepTheirValues) {
    Skin skin;
    SkinObject* early = skin.FindObject("pb");
    ASSERT_NE(early, nullptr);
    EXPECT_TRUE(early->isDetached());

    SkinnedWindow w(write(TinySkin), "Form", {200, 100});
    SkinObject* missing = w.skin->FindObject("timecaption");
    ASSERT_NE(missing, nullptr);
    EXPECT_TRUE(missing->isDetached());
    EXPECT_EQ(missing, w.skin->FindObject("timecaption")) << "one stand-in per name";
    missing->SetMax(1084);
    missing->SetThumbSize(168);
    missing->SetPosition(500);
    missing->SetText("00:01:00");
    missing->SetRect({1, 2, 3, 4});
    missing->Refresh();
    EXPECT_EQ(missing->GetPosition(), 500);
    EXPECT_EQ(missing->GetMax() - missing->GetThumbSize(), 916);
    EXPECT_EQ(missing->text(), "00:01:00");
    EXPECT_EQ(missing->GetRect(), (SkinRect{1, 2, 3, 4}));
    EXPECT_FALSE(w.skin->GetForm(&w.window)->hasObject("timecaption"));
    EXPECT_TRUE(w.skin->GetForm(&w.window)->hasObject("pb"));
    EXPECT_FALSE(early->isDetached() && early == w.skin->FindObject("pb"));
}

TEST_F(SkinTest, ScrollBarPositionsStayWithinMaxMinusThumb) {
    SkinnedWindow w(write(TinySkin), "Form", {200, 100});
    SkinObject* pb = w.skin->FindObject("pb");
    pb->SetMax(2000);
    pb->SetThumbSize(309);
    pb->SetPosition(845);
    EXPECT_EQ(pb->GetPosition(), 845);
    pb->SetPosition(5000);
    EXPECT_EQ(pb->GetPosition(), 1691);
    pb->SetPosition(-3);
    EXPECT_EQ(pb->GetPosition(), 0);
    pb->SetPosition(1691);
    pb->SetMax(1084);
    pb->SetThumbSize(168);
    EXPECT_EQ(pb->GetPosition(), 775) << "a smaller range pulls the position in at once";
}

TEST_F(SkinTest, ObjectsTakeTheirPlacesKindsAndTooltipsFromTheFile) {
    QWidget window;
    window.setFixedSize(200, 100);
    auto* edit = new QLineEdit(&window);
    edit->setObjectName("edit");
    Skin skin(&window);
    skin.LoadSkin(write(TinySkin));
    skin.ApplySkin(&window);
    skin.ApplyForm(&window, "Form");
    EXPECT_EQ(edit->geometry(), QRect(130, 40, 60, 24));
    EXPECT_EQ(skin.geometry(), window.rect());

    SkinObject* go = skin.FindObject("go");
    EXPECT_EQ(go->kind(), SkinObject::Kind::Button);
    EXPECT_EQ(go->toolTip(), "Go now");
    EXPECT_EQ(skin.FindObject("pb")->kind(), SkinObject::Kind::Slider);
    EXPECT_EQ(skin.FindObject("label")->kind(), SkinObject::Kind::Text);
    EXPECT_EQ(skin.FindObject("label")->text(), "hi") << "the template's text shows first";
    EXPECT_EQ(skin.FindObject("label")->GetRect(), (SkinRect{130, 10, 190, 30}));
    EXPECT_EQ(skin.FindObject("bar")->kind(), SkinObject::Kind::Bar);
    EXPECT_EQ(skin.FindObject("bar")->GetRect(), (SkinRect{10, 60, 110, 70}));
    EXPECT_EQ(skin.FindObject("edit")->kind(), SkinObject::Kind::Control);
    EXPECT_EQ(skin.objectAt({20, 20}), go);
    EXPECT_EQ(skin.objectAt({5, 5}), nullptr);
    EXPECT_EQ(skin.objectAt({140, 50}), nullptr) << "controls belong to their widgets";

    const SkinObject::TextStyle& style = skin.FindObject("label")->textStyle();
    EXPECT_EQ(style.font.pixelSize(), 14);
    EXPECT_EQ(style.font.weight(), QFont::Bold);
    EXPECT_EQ(style.color, QColor("#ffff00"));
    EXPECT_EQ(style.anchor, Qt::AlignHCenter);
    EXPECT_EQ(style.baseline, QPointF(160, 25));
}

TEST_F(SkinTest, AClickReportsDownUpAndClickWithTheObject) {
    SkinnedWindow w(write(TinySkin), "Form", {200, 100});
    QStringList events;
    QObject::connect(w.skin, &Skin::OnMouseDown, [&](SkinObject* o, Qt::MouseButton, int x, int y) {
        events << QStringLiteral("down %1 %2,%3").arg(o->GetName()).arg(x).arg(y);
    });
    QObject::connect(w.skin, &Skin::OnMouseUp, [&](SkinObject* o, Qt::MouseButton, int, int) {
        events << "up " + o->GetName();
    });
    QObject::connect(w.skin, &Skin::OnClick,
                     [&](SkinObject* o) { events << "click " + o->GetName(); });

    QTest::mouseClick(w.skin, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(events, QStringList({"down go 30,20", "up go", "click go"}));

    events.clear();
    QTest::mousePress(w.skin, Qt::LeftButton, {}, QPoint(30, 20));
    QTest::mouseRelease(w.skin, Qt::LeftButton, {}, QPoint(5, 95));
    EXPECT_EQ(events, QStringList({"down go 30,20", "up go"})) << "released elsewhere: no click";

    events.clear();
    QTest::mouseClick(w.skin, Qt::LeftButton, {}, QPoint(5, 95));
    EXPECT_TRUE(events.isEmpty());
    QTest::mouseClick(w.skin, Qt::RightButton, {}, QPoint(30, 20));
    EXPECT_EQ(events, QStringList({"down go 30,20", "up go"})) << "only the left button clicks";
}

TEST_F(SkinTest, DraggingTheSliderReportsTrackPositionsBetweenDownAndUp) {
    SkinnedWindow w(write(TinySkin), "Form", {200, 100});
    SkinObject* pb = w.skin->FindObject("pb");
    pb->SetMax(1100);
    pb->SetThumbSize(100); // positions 0..1000 over a travel of 100 pixels
    QStringList events;
    QObject::connect(w.skin, &Skin::OnMouseDown, [&](SkinObject* o, Qt::MouseButton, int, int) {
        events << "down " + o->GetName();
    });
    QObject::connect(w.skin, &Skin::OnScrollTrack, [&](SkinObject* o, int pos) {
        events << QStringLiteral("track %1 %2").arg(o->GetName()).arg(pos);
    });
    QObject::connect(w.skin, &Skin::OnMouseUp, [&](SkinObject* o, Qt::MouseButton, int, int) {
        events << "up " + o->GetName();
    });

    // Pressed on the track: the thumb's centre jumps under the pointer.
    QTest::mousePress(w.skin, Qt::LeftButton, {}, QPoint(65, 45));
    EXPECT_EQ(pb->GetPosition(), 500);
    QTest::mouseMove(w.skin, QPoint(200, 45));
    EXPECT_EQ(pb->GetPosition(), 1000);
    QTest::mouseRelease(w.skin, Qt::LeftButton, {}, QPoint(200, 45));
    EXPECT_EQ(events, QStringList({"down pb", "track pb 500", "track pb 1000", "up pb"}));

    // Grabbed by the thumb, it keeps its grip: a 10-pixel move is 100.
    pb->SetPosition(0);
    events.clear();
    QTest::mousePress(w.skin, Qt::LeftButton, {}, QPoint(12, 45));
    EXPECT_EQ(pb->GetPosition(), 0);
    QTest::mouseMove(w.skin, QPoint(22, 45));
    QTest::mouseRelease(w.skin, Qt::LeftButton, {}, QPoint(22, 45));
    EXPECT_EQ(pb->GetPosition(), 100);
    QTest::mouseMove(w.skin, QPoint(-50, 45));
    EXPECT_EQ(pb->GetPosition(), 100) << "no drag after release";
    EXPECT_EQ(events, QStringList({"down pb", "track pb 100", "up pb"}));
}

TEST_F(SkinTest, DrawsEachLookTextThumbAndBarWhereTheFileSays) {
    SkinnedWindow w(write(TinySkin), "Form", {200, 100});
    QImage image = w.grab();
    EXPECT_EQ(pixel(image, 30, 20), QColor("#ff0000")) << "button, normal look";
    EXPECT_EQ(pixel(image, 15, 45), QColor("#ffffff")) << "thumb at 0";
    EXPECT_EQ(pixel(image, 100, 45), QColor("#202020")) << "track";
    EXPECT_EQ(pixel(image, 105, 65), QColor("#00ffff")) << "bar as designed";
    EXPECT_EQ(pixel(image, 5, 95), QColor("#102030")) << "background";

    // Hover and pressed looks.
    QTest::mouseMove(w.skin, QPoint(30, 20));
    EXPECT_EQ(pixel(w.grab(), 30, 20), QColor("#00ff00"));
    QTest::mousePress(w.skin, Qt::LeftButton, {}, QPoint(30, 20));
    EXPECT_EQ(pixel(w.grab(), 30, 20), QColor("#0000ff"));
    QTest::mouseRelease(w.skin, Qt::LeftButton, {}, QPoint(30, 20));

    // The thumb follows the position, the bar its rectangle.
    SkinObject* pb = w.skin->FindObject("pb");
    pb->SetMax(1100);
    pb->SetThumbSize(100);
    pb->SetPosition(1000);
    SkinObject* bar = w.skin->FindObject("bar");
    bar->SetRect({10, 60, 60, 70});
    bar->Refresh();
    image = w.grab();
    EXPECT_EQ(pixel(image, 15, 45), QColor("#202020"));
    EXPECT_EQ(pixel(image, 115, 45), QColor("#ffffff"));
    EXPECT_EQ(pixel(image, 55, 65), QColor("#00ffff"));
    EXPECT_EQ(pixel(image, 65, 65), QColor("#102030")) << "past the bar's right edge";

    // Text: yellow pixels appear inside the box and change with the text.
    auto yellowIn = [](const QImage& img, const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c(img.pixel(x, y));
                n += c.red() > 200 && c.green() > 200 && c.blue() < 80;
            }
        return n;
    };
    const QRect box(130, 10, 60, 20);
    const int shortText = yellowIn(image, box);
    EXPECT_GT(shortText, 5);
    w.skin->FindObject("label")->SetText("hello!");
    const int longText = yellowIn(w.grab(), box);
    EXPECT_GT(longText, shortText);
    w.skin->FindObject("label")->SetText(QString());
    EXPECT_EQ(yellowIn(w.grab(), box), 0);
}

TEST_F(SkinTest, DefaultSkinHasEveryObjectTheProgramUses) {
    QWidget window;
    window.setFixedSize(521, 380);
    Skin skin(&window);
    skin.LoadSkin(DefaultSkin);
    skin.ApplySkin(&window);
    skin.ApplyForm(&window, "Quarnwick");
    SkinForm* form = skin.GetForm(&window);
    EXPECT_EQ(form->size(), QSize(521, 380));
    const QRect client(0, 0, 521, 380);

    const char* buttons[] = {"file", "action", "Settings", "Help", "addfile", "Up",
                             "Down", "Remove", "Clear",    "Set",  "play",    "stop",
                             "hou",  "qian",   "Split",    "Join", "Begin",   "End",
                             "Ok",   "Stop",   "helpfile", "dir"};
    for (const char* name : buttons) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(form->hasObject(name));
        SkinObject* o = form->FindObject(name);
        EXPECT_EQ(o->kind(), SkinObject::Kind::Button);
        EXPECT_FALSE(o->toolTip().isEmpty()) << "every button explains itself";
        EXPECT_FALSE(o->art().hoverId.isEmpty());
        EXPECT_FALSE(o->art().pressedId.isEmpty());
        EXPECT_TRUE(client.contains(o->currentRect()));
        EXPECT_GE(o->currentRect().width(), 20);
        EXPECT_EQ(skin.objectAt(QRectF(o->currentRect()).center()), o) << "nothing lies on top";
    }
    EXPECT_EQ(form->FindObject("pb")->kind(), SkinObject::Kind::Slider);
    EXPECT_FALSE(form->FindObject("pb")->art().thumbId.isEmpty());
    for (const char* name : {"timecaption", "tataltime", "pbpos"})
        EXPECT_EQ(form->FindObject(name)->kind(), SkinObject::Kind::Text) << name;
    EXPECT_EQ(form->FindObject("timecaption")->text(), "00:00:00");
    EXPECT_EQ(form->FindObject("tataltime")->text(), "00:00:00");
    EXPECT_EQ(form->FindObject("pbpos")->text(), "");
    for (const char* name : {"lv", "lv_time", "sm", "edt_dir", "cb_format"})
        EXPECT_EQ(form->FindObject(name)->kind(), SkinObject::Kind::Control) << name;

    // The run bar can grow to 501 pixels inside the window, its track with it.
    const SkinRect bar = form->FindObject("convertpb")->GetRect();
    EXPECT_EQ(form->FindObject("convertpb")->kind(), SkinObject::Kind::Bar);
    EXPECT_LE(bar.left + 501, 521);
    EXPECT_EQ(bar.right - bar.left, 501);
    EXPECT_EQ(form->FindObject("convertpbtrack")->GetRect(), bar);

    // The menu buttons lie where their popups open: the popup's corner is
    // under the button, just below it.
    for (auto [name, x] : {std::pair{"file", 179}, {"action", 211}, {"Help", 383}}) {
        const QRect r = form->FindObject(name)->currentRect();
        EXPECT_TRUE(r.left() <= x && x < r.right()) << name;
        EXPECT_LE(r.bottom(), 32) << name;
        EXPECT_GE(r.bottom(), 24) << name;
    }
}

TEST_F(SkinTest, DefaultSkinIsDrawnAsTheFileShowsIt) {
    QWidget window;
    window.setFixedSize(521, 380);
    Skin skin(&window);
    skin.LoadSkin(DefaultSkin);
    skin.ApplySkin(&window);
    skin.ApplyForm(&window, "Quarnwick");
    window.show();
    QCoreApplication::processEvents();
    const QImage drawn = window.grab().toImage().convertToFormat(QImage::Format_RGB32);

    // The file as any SVG viewer shows it.
    QImage reference(521, 380, QImage::Format_RGB32);
    reference.fill(Qt::black);
    {
        QSvgRenderer renderer(DefaultSkin);
        QPainter p(&reference);
        renderer.render(&p);
    }
    SkinForm* form = skin.GetForm(&window);
    for (SkinObject* o : form->objects()) {
        if (o->kind() != SkinObject::Kind::Button && o->kind() != SkinObject::Kind::Slider)
            continue;
        SCOPED_TRACE(o->GetName().toStdString());
        const QRect area = o->currentRect().intersected(QRect(0, 0, 521, 380));
        EXPECT_LT(difference(drawn, reference, area), 4.0);
        // And something is drawn there, not just an even background.
        QImage flat(521, 380, QImage::Format_RGB32);
        flat.fill(drawn.pixel(area.topLeft()));
        EXPECT_GT(difference(drawn, flat, area), 4.0);
    }
}

} // namespace
