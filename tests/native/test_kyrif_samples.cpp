// The kyrif samples: field storage, copies, keys and the type-erased operations the
// middleware uses. Samples are made the way the middleware makes them, through the
// type registry that the interface library fills when it is loaded.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kyrif/kyrif.hpp"
#include "tav/qel/QelException.hpp"
#include "tav/qel/ps/detail/DataTypeSupportBase.hpp"

namespace {

using tav::qel::QelTypeTraits;
using tav::qel::ps::DataEntityBase;

template <class T>
std::unique_ptr<T> newSample() {
    auto support = std::dynamic_pointer_cast<const tav::qel::ps::detail::DataTypeSupportBase>(
        tav::qel::TypeRegistry::instance().find(QelTypeTraits<T>::libraryName, QelTypeTraits<T>::name,
                                                tav::qel::TypeRole::Data));
    EXPECT_NE(support, nullptr);
    std::unique_ptr<DataEntityBase> entity(support->newEntity());
    auto* sample = dynamic_cast<T*>(entity.get());
    EXPECT_NE(sample, nullptr);
    entity.release();
    return std::unique_ptr<T>(sample);
}

std::unique_ptr<kyrif::Method> method(const std::string& name, const std::string& parameters) {
    auto sample = newSample<kyrif::Method>();
    sample->setName(name);
    sample->setParameters(parameters);
    return sample;
}

const DataEntityBase& base(const kyrif::Method& m) { return m; }
const DataEntityBase& base(const kyrif::StartProperties& p) { return p; }

TEST(KyrifMethod, StoresFieldsAndStartsEmpty) {
    auto m = newSample<kyrif::Method>();
    EXPECT_EQ(m->getName(), "");
    EXPECT_EQ(m->getParameters(), "");
    const std::string binary("a\0b\xff", 4);
    m->setName(binary);
    m->setParameters("p=1");
    EXPECT_EQ(m->getName(), binary);
    EXPECT_EQ(m->getParameters(), "p=1");
    EXPECT_STREQ(base(*m).entityTypeName(), "kyrif::Method");
}

TEST(KyrifMethod, CloneCopiesEverythingAndIsIndependent) {
    auto m = method("scan", "fast");
    auto copy = m->clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy.get(), m.get());
    EXPECT_EQ(copy->getName(), "scan");
    EXPECT_EQ(copy->getParameters(), "fast");
    copy->setParameters("slow");
    EXPECT_EQ(m->getParameters(), "fast");

    auto entity = base(*m).cloneEntity();
    auto* asMethod = dynamic_cast<kyrif::Method*>(entity.get());
    ASSERT_NE(asMethod, nullptr);
    EXPECT_EQ(asMethod->getParameters(), "fast");
}

TEST(KyrifMethod, NameIsTheKey) {
    auto m = method("scan", "fast");
    EXPECT_TRUE(m->hasKey());
    EXPECT_TRUE(base(*m).hasKeyEntity());

    auto key = m->cloneKey();
    EXPECT_EQ(key->getName(), "scan");
    EXPECT_EQ(key->getParameters(), "");
    auto keyEntity = base(*m).cloneKeyEntity();
    EXPECT_EQ(dynamic_cast<kyrif::Method&>(*keyEntity).getName(), "scan");
    EXPECT_EQ(dynamic_cast<kyrif::Method&>(*keyEntity).getParameters(), "");

    auto sameKey = method("scan", "other");
    auto otherKey = method("stop", "fast");
    EXPECT_TRUE(m->keyEquals(*sameKey));
    EXPECT_FALSE(m->keyEquals(*otherKey));
    EXPECT_TRUE(base(*m).keyEqualsEntity(*sameKey));
    EXPECT_FALSE(base(*m).keyEqualsEntity(*otherKey));
    EXPECT_EQ(base(*m).keyHash(), base(*sameKey).keyHash());
    EXPECT_EQ(base(*m).keyHash(), base(*key).keyHash());
}

TEST(KyrifMethod, AssignCopiesFromMethodsOnly) {
    auto target = method("a", "1");
    auto source = method("b", "2");
    target->assignEntity(*source);
    EXPECT_EQ(target->getName(), "b");
    EXPECT_EQ(target->getParameters(), "2");
    source->setName("c");
    EXPECT_EQ(target->getName(), "b");

    target->assignEntity(*target);
    EXPECT_EQ(target->getName(), "b");

    auto properties = newSample<kyrif::StartProperties>();
    EXPECT_THROW(target->assignEntity(*properties), tav::qel::QelException);
    EXPECT_EQ(target->getName(), "b");
    EXPECT_FALSE(base(*target).keyEqualsEntity(*properties));
}

TEST(KyrifStartProperties, StoresFieldsAndStartsEmpty) {
    auto p = newSample<kyrif::StartProperties>();
    EXPECT_EQ(p->getAbsTime(), 0.0);
    EXPECT_EQ(p->getCustomTrigger(), "");
    EXPECT_EQ(p->getInfo(), "");
    EXPECT_EQ(p->getTrigger(), kyrif::Signal);
    p->setAbsTime(1700000000.25);
    p->setCustomTrigger("edge");
    p->setInfo("run 7");
    p->setTrigger(kyrif::Custom);
    EXPECT_EQ(p->getAbsTime(), 1700000000.25);
    EXPECT_EQ(p->getCustomTrigger(), "edge");
    EXPECT_EQ(p->getInfo(), "run 7");
    EXPECT_EQ(p->getTrigger(), kyrif::Custom);
    EXPECT_STREQ(base(*p).entityTypeName(), "kyrif::StartProperties");
}

TEST(KyrifStartProperties, HasNoKeySoEverySampleIsTheOneInstance) {
    auto p = newSample<kyrif::StartProperties>();
    p->setInfo("x");
    p->setTrigger(kyrif::AbsTime);
    auto q = newSample<kyrif::StartProperties>();
    EXPECT_FALSE(p->hasKey());
    EXPECT_FALSE(base(*p).hasKeyEntity());
    EXPECT_TRUE(p->keyEquals(*q));
    EXPECT_TRUE(base(*p).keyEqualsEntity(*q));
    EXPECT_EQ(base(*p).keyHash(), base(*q).keyHash());
    EXPECT_FALSE(base(*p).keyEqualsEntity(*method("a", "")));

    auto key = p->cloneKey();
    EXPECT_EQ(key->getInfo(), "");
    EXPECT_EQ(key->getTrigger(), kyrif::Signal);

    auto copy = p->clone();
    EXPECT_EQ(copy->getInfo(), "x");
    EXPECT_EQ(copy->getTrigger(), kyrif::AbsTime);
}

TEST(KyrifStartProperties, AssignCopiesFromStartPropertiesOnly) {
    auto target = newSample<kyrif::StartProperties>();
    auto source = newSample<kyrif::StartProperties>();
    source->setAbsTime(2.5);
    source->setCustomTrigger("c");
    source->setInfo("i");
    source->setTrigger(kyrif::NotUsed);
    target->assignEntity(*source);
    EXPECT_EQ(target->getAbsTime(), 2.5);
    EXPECT_EQ(target->getCustomTrigger(), "c");
    EXPECT_EQ(target->getInfo(), "i");
    EXPECT_EQ(target->getTrigger(), kyrif::NotUsed);
    EXPECT_THROW(target->assignEntity(*method("a", "b")), tav::qel::QelException);
    EXPECT_EQ(target->getInfo(), "i");
}

TEST(KyrifExceptionErr, CarriesDescriptionAndCodeSharedByCopies) {
    kyrif::ExceptionErr error("broken", -7);
    EXPECT_EQ(error.getDesc(), "broken");
    EXPECT_EQ(error.getCode(), -7);
    EXPECT_STREQ(error.what(), "::kyrif::ExceptionErr");

    kyrif::ExceptionErr copy = error;
    copy.setDesc("changed");
    copy.setCode(3);
    EXPECT_EQ(error.getDesc(), "changed");
    EXPECT_EQ(error.getCode(), 3);
    EXPECT_EQ(copy.getAttributes(), error.getAttributes());

    kyrif::ExceptionErr empty(nullptr);
    EXPECT_EQ(empty.getDesc(), "");
    EXPECT_EQ(empty.getCode(), 0);

    try {
        throw kyrif::ExceptionErr("thrown", 42);
    } catch (const tav::qel::QelException& caught) {
        const auto* asErr = dynamic_cast<const kyrif::ExceptionErr*>(&caught);
        ASSERT_NE(asErr, nullptr);
        EXPECT_EQ(asErr->getCode(), 42);
    }
}

}  // namespace
