#pragma once

#include <vector>

#include "sdk/base/PXiName.h"

class PXiNode;

// The registry of node classes: class name, parent class name and, where registered, a
// factory that makes a node of the class. Plug-ins register their classes from static
// initialisation; the host makes nodes by class name with create(). Thread-safe.
class PXiClassName {
public:
    typedef PXiNode* (*Factory)();

    // Registers cls with its parent class; returns the interned class name. Registering a
    // class again keeps the first parent and returns the same name.
    static PXiName registerClassName(const char* cls, const char* parent);
    // Registers (or replaces) the factory that makes nodes of cls; registers cls if needed.
    static void registerFactory(const PXiName& cls, Factory factory);
    template <typename T>
    static void registerFactoryOf(const PXiName& cls) {
        registerFactory(cls, []() -> PXiNode* { return new T(); });
    }

    static bool isRegistered(const PXiName& cls);
    // The parent class name, or the empty name for an unknown class.
    static PXiName getParent(const PXiName& cls);
    // 1 when cls is ancestor or ancestor's descendant: cls itself or derived from it.
    static int isA(const PXiName& cls, const PXiName& ancestor);
    // A new node of the class (owned by the caller), or null when it has no factory.
    static PXiNode* create(const PXiName& cls);
    // Every registered class name, in registration order.
    static std::vector<PXiName> list();
};
