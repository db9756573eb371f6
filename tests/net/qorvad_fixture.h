// An in-process qorvad on loopback, one account record pointing at it, and the headless UI
// reset around each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/account.h"
#include "platform/headless/headless.h"
#include "qorvad.h"

namespace wq::net {

class QorvadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        headless::Reset();
        server_.store().addUser("anna", "secret");
        port_ = server_.listen();
        ASSERT_NE(port_, 0);
        ResetAccountSettings(account_);
        account_.hostName = "127.0.0.1";
        account_.userName = "anna";
        account_.password = "secret";
        account_.port = port_;
        account_.timeout = 5;
        SetCurrentAccount(&account_);
    }
    void TearDown() override {
        server_.stop();
        SetCurrentAccount(nullptr);
        headless::Reset();
    }

    void setFaults(const std::function<void(qorvad::Faults&)>& change) {
        server_.updateFaults(change);
    }

    // The message boxes and dialogs shown, as "caption|text" and "dialog <id>".
    static std::vector<std::string> shown() {
        std::vector<std::string> out;
        for (const headless::Event& e : headless::Events()) {
            out.push_back(e.kind == headless::Event::Kind::kDialog
                              ? "dialog " + std::to_string(e.templateId)
                              : e.text);
        }
        return out;
    }

    qorvad::Server server_;
    uint16_t port_ = 0;
    AccountSettings account_{};
};

}  // namespace wq::net
