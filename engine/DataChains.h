#pragma once

#include "engine/EngineMessages.h"

// The messages of one chain that moves data over a data connection: its TYPE step, its PASV or
// PORT step, its REST step (0 for a chain that never resumes), the step that sends LIST, RETR or
// STOR, and its data socket. The chains differ in nothing else.
struct DataChain {
    int op;
    int type;
    int pasv;
    int rest;
    int transfer;
    int data;

    bool IsDownload() const { return op == OP_DOWNLOAD; }
    bool IsUpload() const { return op == OP_UPLOAD; }
    bool IsListing() const { return !IsDownload() && !IsUpload(); }
};

// The chain a message belongs to, or the chain an operation runs; null for any other.
const DataChain* ChainOfMessage(int message);
const DataChain* ChainOfOp(int op);
