#include "gl_test_support.h"
#include "render/uTextureUpload.h"

#include <GL/gl.h>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "image/uImageCodecs.h"
#include "image/uTextureRipperImage.h"

namespace fs = std::filesystem;

namespace {

// A current compatibility-profile context, the GL backend and a folder of image files.
class TextureUploadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gl.MakeCurrent());
        dir = fs::temp_directory_path() /
              ("quill_upload_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }

    void TearDown() override
    {
        fs::remove_all(dir);
        gl.DoneCurrent();
    }

    std::string WritePng(const std::string& name, const TRgbaImage& image)
    {
        std::string message;
        const std::string path = (dir / name).string();
        EXPECT_TRUE(WritePngFile(image, path, message)) << message;
        return path;
    }

    TGLTestContext gl;
    fs::path dir;
    TGLTextureGpu gpu;
};

}  // namespace

TEST_F(TextureUploadTest, ImportedTextureHoldsTheImageRowsAndBinds)
{
    TRgbaImage image(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            image.SetPixel(x, y, MakeRgbaPixel(x * 60, y * 200, 7, 128 + x));
    TTextureManager registry(&gpu);
    ASSERT_EQ(registry.ImportFile(WritePng("pattern.png", image)), 0);
    const TTextureRec& rec = registry.GetTexture(0);
    ASSERT_NE(rec.GLName, 0u);
    EXPECT_TRUE(glIsTexture(rec.GLName));

    glBindTexture(GL_TEXTURE_2D, rec.GLName);
    GLint w = 0, h = 0, minFilter = 0, magFilter = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_EQ(magFilter, GL_LINEAR);
    std::vector<uint8_t> pixels(4 * 2 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    // Texture row 0 is the image's first row: no flip.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint8_t* p = &pixels[(y * 4 + x) * 4];
            EXPECT_EQ(p[0], x * 60);
            EXPECT_EQ(p[1], y * 200);
            EXPECT_EQ(p[2], 7);
            EXPECT_EQ(p[3], 128 + x);
        }

    registry.Bind(0);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), rec.GLName);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    registry.Bind(5);  // past the end: unbinds
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    const GLuint name = rec.GLName;
    registry.Delete(0);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureUploadTest, TextureBeyondTheGlLimitIsReportedAsAFailure)
{
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    ASSERT_GT(maxSize, 0);
    // One row one pixel wider than the implementation takes: decodes fine, cannot upload.
    const std::string path = WritePng("wide.png", TRgbaImage(maxSize + 1, 1));
    TTextureManager registry(&gpu);
    TTextureImportResult result;
    registry.ImportOrReplace(path, result);
    EXPECT_FALSE(result.Success);
    EXPECT_EQ(result.Message, "The texture could not be imported.");
    EXPECT_EQ(registry.Count(), 0);
    // The error was consumed, and the object the failed upload made (the context's first
    // name) no longer exists.
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    GLuint next = 0;
    glGenTextures(1, &next);
    EXPECT_FALSE(glIsTexture(next - 1) && next > 1);
    glDeleteTextures(1, &next);
}

TEST_F(TextureUploadTest, RefusedUploadsLeaveTheContextUsable)
{
    std::string message;
    const uint8_t pixel[4] = {1, 2, 3, 4};
    EXPECT_EQ(gpu.CreateTexture(pixel, 0, 1, message), 0u);
    EXPECT_EQ(gpu.CreateTexture(nullptr, 1, 1, message), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // A sound upload still works afterwards.
    const uint32_t name = gpu.CreateTexture(pixel, 1, 1, message);
    EXPECT_NE(name, 0u);
    EXPECT_EQ(message, "");
    gpu.DeleteTexture(name);
}
