#include "core/picture_file.h"

#include "core/picture_decoder.h"
#include "core/png_check.h"
#include "core/texture_levels.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <numeric>
#include <string_view>
#include <system_error>
#include <unordered_map>

namespace {

// A web page built without worker threads cannot start one: it decodes on its own thread.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
constexpr bool kThreadsAvailable = false;
#else
constexpr bool kThreadsAvailable = true;
#endif

}  // namespace

struct PictureDecoding::Shared {
    struct Slot {
        std::string path;
        Picture picture;
        std::string failure;
        bool usable = false;
        int fileWidth = 0;  // before stretching
        int fileHeight = 0;
        std::atomic<bool> ready{false};
        bool taken = false;

        void decode()
        {
            usable = readPictureFile(path.c_str(), picture, failure);
            if (usable) {
                fileWidth = picture.width;
                fileHeight = picture.height;
                stretchToPowersOfTwo(picture);
                addMipLevels(picture);
            }
        }
    };

    explicit Shared(std::vector<std::string> paths) : slots(paths.size()), decodeOrder(paths.size())
    {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            slots[i].path = std::move(paths[i]);
            slotOf.emplace(slots[i].path, i);
        }
        // The biggest file first, so that the longest decode does not start last;
        // the others in upload order, so that uploads can start early.
        std::size_t biggest = 0;
        std::uintmax_t biggestSize = 0;
        for (std::size_t i = 0; i < slots.size(); ++i) {
            std::error_code missing;
            const std::uintmax_t size = std::filesystem::file_size(slots[i].path, missing);
            if (!missing && size > biggestSize) {
                biggest = i;
                biggestSize = size;
            }
        }
        std::iota(decodeOrder.begin(), decodeOrder.end(), 0);
        if (!slots.empty()) {
            std::rotate(decodeOrder.begin(), decodeOrder.begin() + biggest, decodeOrder.begin() + biggest + 1);
        }
    }

    void decodeUntilDoneOrStopped()
    {
        for (std::size_t next;
             !stopping.load(std::memory_order_relaxed) && (next = nextDecode.fetch_add(1)) < slots.size();) {
            Slot& slot = slots[decodeOrder[next]];
            slot.decode();
            slot.ready.store(true, std::memory_order_release);
            slot.ready.notify_one();
        }
    }

    std::vector<Slot> slots;
    std::unordered_map<std::string_view, std::size_t> slotOf;
    std::vector<std::size_t> decodeOrder;
    std::atomic<std::size_t> nextDecode{0};
    std::atomic<bool> stopping{false};
    bool decodedWhenTaken = true;
};

PictureDecoding::PictureDecoding(std::vector<std::string> paths) : shared_(std::make_unique<Shared>(std::move(paths)))
{
    const std::size_t workerCount =
        kThreadsAvailable
            ? std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), shared_->slots.size())
            : 0;
    workers_.reserve(workerCount);
    try {
        while (workers_.size() < workerCount) {
            workers_.emplace_back([shared = shared_.get()] { shared->decodeUntilDoneOrStopped(); });
        }
    } catch (const std::system_error&) {
        // No threads to be had: the workers that did start decode every file.
    }
    shared_->decodedWhenTaken = workers_.empty();
}

PictureDecoding::PictureDecoding(PictureDecoding&& other) noexcept = default;

PictureDecoding::~PictureDecoding()
{
    if (shared_) {
        shared_->stopping.store(true, std::memory_order_relaxed);
    }
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

bool PictureDecoding::take(const std::string& path, int largestSide, Picture& picture, std::string& failure,
                           const WhileLoading& whileLoading)
{
    Shared::Slot unstarted;
    Shared::Slot* slot = &unstarted;
    if (const auto found = shared_->slotOf.find(path);
        found != shared_->slotOf.end() && !shared_->slots[found->second].taken) {
        slot = &shared_->slots[found->second];
    } else {
        unstarted.path = path;
    }
    if (slot == &unstarted || shared_->decodedWhenTaken) {
        slot->decode();
    } else {
        while (!slot->ready.load(std::memory_order_acquire)) {
            if (!whileLoading) {
                slot->ready.wait(false, std::memory_order_acquire);
                break;
            }
            whileLoading();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    slot->taken = true;
    failure = std::move(slot->failure);
    Picture decoded = std::exchange(slot->picture, {});
    if (!slot->usable) {
        return false;
    }
    if (decoded.width > largestSide || decoded.height > largestSide) {
        failure = pictureTooLargeFailure(slot->fileWidth, slot->fileHeight, largestSide);
        return false;
    }
    picture = std::move(decoded);
    return true;
}

void createTexturesFromFiles(Device& device, PictureDecoding& decoding, std::span<TextureFile> files,
                             const WhileLoading& whileLoading)
{
    const int largestSide = std::min(kMaxPictureSide, device.maxTextureSide());
    for (TextureFile& file : files) {
        Picture picture;
        const bool usable = decoding.take(file.path, largestSide, picture, file.failure, whileLoading);
        if (whileLoading) {
            whileLoading();
        }
        if (usable) {
            file.texture = device.CreateTexture(picture, file.path);
        }
    }
}

void createTexturesFromFiles(Device& device, std::span<TextureFile> files, const WhileLoading& whileLoading)
{
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (const TextureFile& file : files) {
        paths.push_back(file.path);
    }
    PictureDecoding decoding(std::move(paths));
    createTexturesFromFiles(device, decoding, files, whileLoading);
}
