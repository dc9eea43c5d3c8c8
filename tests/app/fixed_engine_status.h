// An engine that reports listening on a port given to it.
#pragma once

#include "app/local_port_test.h"

class FixedEngineStatus : public EngineStatus {
public:
    explicit FixedEngineStatus(int port) : port_(port) {}
    int ListeningPort() const override { return port_; }

private:
    int port_;
};
