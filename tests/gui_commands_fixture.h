// gui_commands_fixture.h - shared pieces of the command tests: a scripted
// user that also records the about box and can look at the window while a
// question is open, and a fixture that puts images into slots.
#ifndef GUI_COMMANDS_FIXTURE_H
#define GUI_COMMANDS_FIXTURE_H

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <cmath>
#include <functional>
#include <vector>

#include "zvekop_testui.h"

// Writes an executable shell script.
inline bool writeScript(const QString &path, const QByteArray &body) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write("#!/bin/sh\n" + body);
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

class CommandUi : public ScriptUi {
public:
    struct About {
        QWidget *parent;
        QString title, text;
    };
    std::vector<About> abouts;
    std::function<void()> whileAsked;  // runs while a number dialog or form is open

    void about(QWidget *parent, const QString &title, const QString &text) override {
        abouts.push_back({parent, title, text});
    }
    bool getDouble(QWidget *parent, const QString &title, const QString &label, double value, double min,
                   double max, int decimals, double *result) override {
        if (whileAsked) whileAsked();
        return ScriptUi::getDouble(parent, title, label, value, min, max, decimals, result);
    }
    bool form(QWidget *parent, const QString &heading, const QStringList &labels, QStringList &values) override {
        if (whileAsked) whileAsked();
        return ScriptUi::form(parent, heading, labels, values);
    }
};

class CommandTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ZVekUi::install(&user);
    }
    void TearDown() override {
        for (ZVEKHDR *h : owned)
            if (h) Zvekfree(h, 7);
        GuiTest::TearDown();
    }

    // Puts image into slot (releasing what was there) without running a command.
    void put(int slot, ZVEKHDR *image) {
        if (controller->images[slot]) Zvekfree(controller->images[slot], 7);
        controller->images[slot] = image;
    }
    ZVEKHDR *slot(int i) const { return controller->images[i]; }
    // An image released after the test.
    ZVEKHDR *keep(ZVEKHDR *h) {
        owned.push_back(h);
        return h;
    }
    // A zero image of a type and size, released after the test.
    ZVEKHDR *blank(const char *type, std::vector<int32_t> dims) {
        return keep(Zvekcreate(type, dims.data(), 11, 0));
    }
    // Presses a button the way a user does; it must be enabled.
    void press(QPushButton *button) {
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        button->click();
    }
    void toMode1() {
        mw->modeAct->trigger();
        ASSERT_EQ(mw->getCommandMode(), 1);
    }
    static std::vector<int32_t> dimsOf(ZVEKHDR *h) {
        std::vector<int32_t> d{h->vekndim};
        for (int i = 0; i < h->vekndim; ++i) d.push_back(h->vekdims[i].dimlen);
        return d;
    }
    // Every value of two float images within tol of each other.
    static ::testing::AssertionResult near(ZVEKHDR *a, ZVEKHDR *b, double tol) {
        if (!a || !b) return ::testing::AssertionFailure() << "null image";
        if (dimsOf(a) != dimsOf(b) || a->dtype != b->dtype)
            return ::testing::AssertionFailure() << "shape or type differs";
        const int64_t n = pixelCount(a) * (a->dtype == DT_32CMP ? 2 : 1);
        for (int64_t i = 0; i < n; ++i) {
            const float x = pixels(a)[i], y = pixels(b)[i];
            if (!(std::fabs(double(x) - y) <= tol))
                return ::testing::AssertionFailure() << "element " << i << ": " << x << " vs " << y;
        }
        return ::testing::AssertionSuccess();
    }
    bool allZero(ZVEKHDR *h) const {
        const int64_t n = pixelCount(h);
        for (int64_t i = 0; i < n; ++i)
            if (pixels(h)[i] != 0.0f) return false;
        return true;
    }

    CommandUi user;
    std::vector<ZVEKHDR *> owned;
};

#endif  // GUI_COMMANDS_FIXTURE_H
