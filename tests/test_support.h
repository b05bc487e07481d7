// Helpers shared by the tests: working directories and running the programs.
#pragma once

#include <cmath>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/recording_device.h"
#include "music/beat_clock.h"

// Changes the working directory for the life of the object.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::filesystem::path& directory) : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(directory);
    }
    ~ScopedWorkingDirectory() { std::filesystem::current_path(previous_); }
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

// A fresh, empty directory under the system's temporary directory, removed with the object.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A test's own working directory: fresh and empty, current while the object lives.
struct ScratchWorkingDirectory {
    TemporaryDirectory directory;
    ScopedWorkingDirectory inDirectory{directory.path()};
};

// Writes the bytes as the whole of the file.
void writeFile(const std::filesystem::path& path, std::string_view bytes);

// The clock at a beat position, as the show computes it from a play position.
inline BeatClock clockAtBeat(double beatTime)
{
    return {beatTime, std::fmod(beatTime, 1.0), static_cast<std::int32_t>(beatTime)};
}

// The generated show data, when the build has made it.
bool showDataExists();
std::filesystem::path showDataDirectory();
std::filesystem::path programPath(const std::string& relativeToBuild);

#include <chrono>
#include <optional>
#include <sys/types.h>
#include <utility>
#include <vector>

// A program started in the background, its standard error going to a file.
struct ChildProcess {
    pid_t pid = -1;
    std::filesystem::path stderrFile;
};

// Environment changes for the child: a value sets the variable, nullopt removes it.
using EnvironmentChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

ChildProcess startProgram(const std::vector<std::string>& arguments, const EnvironmentChanges& environment,
                          const std::filesystem::path& workingDirectory, const std::filesystem::path& stderrFile);
// The exit code, or nullopt when the program was still running after the timeout (it is then killed).
std::optional<int> waitForExit(const ChildProcess& child, std::chrono::milliseconds timeout);
std::string readFile(const std::filesystem::path& file);

// Takes every call and does nothing with it, so a frame's own work can be
// measured; the textures and meshes it makes exist but draw nothing.
class SilentDevice : public Device {
public:
    void Clear(std::uint32_t, D3DCOLOR, float, std::uint32_t) override {}
    void BeginScene() override {}
    void EndScene() override {}
    void Present() override {}
    void SetRenderState(D3DRENDERSTATETYPE, std::uint32_t) override {}
    void SetTransform(D3DTRANSFORMSTATETYPE, const D3DXMATRIX&) override {}
    void SetLight(std::uint32_t, const D3DLIGHT9&) override {}
    void LightEnable(std::uint32_t, bool) override {}
    void SetMaterial(const D3DMATERIAL9&) override {}
    const Texture* CreateTexture(const Picture& picture, std::string_view name) override
    {
        return resources_.CreateTexture(picture, name);
    }
    const Mesh* CreateMesh(const MeshData& data, std::string_view name) override
    {
        return resources_.CreateMesh(data, name);
    }
    void SpriteBegin(std::uint32_t) override {}
    void SpriteSetTransform(const D3DXMATRIX&) override {}
    void SpriteDraw(const Texture&, const D3DXVECTOR3&, D3DCOLOR) override {}
    void SpriteEnd() override {}
    void DrawSubset(const Mesh&, std::uint32_t) override {}

private:
    RecordingDevice resources_;
};
