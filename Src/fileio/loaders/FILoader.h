#pragma once
// The loaders: one per kind of image file, each with a load thread of its own.
// A loader answers short requests at once in the caller's thread and runs
// pixel and camera-data loads on its load thread, where the caller polls them
// with Idle. Every outcome, failures included, is written into the request;
// nothing is thrown out of Request or Idle.

class FDataRetrieverRequest;

class FILoader {
public:
    // Deletes the loader. A load still running is asked to stop and waited for.
    virtual void Release() = 0;
    // When a request is queued, waits at most 100 ms for it to finish.
    virtual void Idle() = 0;
    // Accepts one request; see FDataRetrieverRequest for who may touch what
    // while it is pending.
    virtual void Request(FDataRetrieverRequest* request) = 0;
    virtual ~FILoader() = default;
};

class FIJPEGLoader : public FILoader {};
class FITiffLoader : public FILoader {};
class FIPDXbLoader : public FILoader {};

// New loaders with their load threads running. The result has the interface
// type, so a table of factories can hold all three.
FILoader* CreateJPEGLoader();
FILoader* CreateTiffLoader();
FILoader* CreatePDXbLoader();
