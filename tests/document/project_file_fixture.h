#pragma once
// A test's own folder for the files it writes, a texture registry on a GPU that keeps no
// pixels, and the id counters put back as they were, for tests that save and open projects.
#include "base/uDocumentIds.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"
#include "scene/uTextures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Names texture objects in turn and counts what is made and deleted.
class TCountingGpu : public TTextureGpu {
public:
    uint32_t CreateTexture(const uint8_t*, int32_t, int32_t, std::string&) override
    {
        ++Created;
        return Next++;
    }
    void DeleteTexture(uint32_t Name) override { Deleted.push_back(Name); }
    void BindTexture(uint32_t) override {}
    int Created = 0;
    uint32_t Next = 1;
    std::vector<uint32_t> Deleted;
};

class TProjectFileFixture : public ::testing::Test {
protected:
    // Prefix names the test's folder; the test's own name is added unless Shared.
    explicit TProjectFileFixture(std::string Prefix, bool Shared = false)
        : FPrefix(std::move(Prefix)), FShared(Shared)
    {
    }
    void SetUp() override
    {
        ClearModifierRegistry();
        RegisterBuiltInModifiers();
        Ids = SnapshotDocumentIds();
        std::string name = FPrefix + std::to_string(::getpid());
        if (!FShared)
            name +=
                std::string("_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        Dir = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        Registry = std::make_unique<TTextureManager>(&Gpu);
        Saved = CurrentTextureManager;
        CurrentTextureManager = Registry.get();
    }
    void TearDown() override
    {
        CurrentTextureManager = Saved;
        Registry.reset();
        RestoreDocumentIds(Ids);
        // A failed test leaves its files to look at.
        if (!HasFailure())
            std::filesystem::remove_all(Dir);
    }
    std::string PathOf(const std::string& Name) const { return (Dir / Name).string(); }

    TDocumentIdCounters Ids;
    std::filesystem::path Dir;
    TCountingGpu Gpu;
    std::unique_ptr<TTextureManager> Registry;
    TTextureManager* Saved = nullptr;

private:
    std::string FPrefix;
    bool FShared;
};
