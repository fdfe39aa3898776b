#pragma once

#include "ui/FrmkovaLayout.h"
#include "ui/FrmkovaUi.h"

#include <QCoreApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace kova::test {

// The main window's controls on a plain window, at the show step's 1020 × 700 with the
// resize step applied (the layout needs neither the database nor the application shell).
class LayoutFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        ui.setupUi(window.get());
        resizeTo(1020, 700);
    }

    void resizeTo(int w, int h)
    {
        window->resize(w, h);
        applyResizeStep(ui, window->width());
    }

    void showWindow()
    {
        window->show();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<QWidget> window;
    FrmkovaUi ui;
};

} // namespace kova::test
