// A test fixture for exchanges with the adapter simulator: it needs the
// private test network and the socket library, and stops the simulators (and
// with them a second lab segment) and the library after each test.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/socket_api.h"
#include "tests/support/network_env.h"
#include "tests/support/sim_process.h"

class SimulatorTest : public testing::Test {
protected:
    void SetUp() override {
        REQUIRE_PRIVATE_NETWORK();
        StartSocketLibrary();
        m_bLibraryStarted = true;
    }

    void TearDown() override {
        m_sim.Stop();
        m_secondSegment.Stop();
        if (m_bLibraryStarted)
            StopSocketLibrary();
    }

    void StartSimulator(const std::vector<std::string>& args) {
        ASSERT_TRUE(m_sim.Start(args)) << m_sim.GetLastError();
    }

    // The first segment's adapters, the workstation having a second address
    // in their subnet.
    void StartBesideSecondAddress(const std::vector<std::string>& args) {
        ASSERT_TRUE(m_sim.StartBesideSecondAddress(args)) << m_sim.GetLastError();
    }

    // Adapters behind a second network card of the workstation.
    void StartOnSecondSegment(const std::vector<std::string>& args) {
        ASSERT_TRUE(m_secondSegment.StartOnSecondSegment(args)) << m_secondSegment.GetLastError();
    }

    SimulatorProcess m_sim;
    SimulatorProcess m_secondSegment;
    bool m_bLibraryStarted = false;
};
