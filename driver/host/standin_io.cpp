// The stand-in's I/O manager: devices, links, IRP completion and cancellation, and the harness
// that loads the driver and sends it requests.
#include <chrono>
#include <mutex>
#include <string>

#include "standin_internal.h"

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING registry);

using kestova::standin::internal::ExpectNoSpinLock;
using kestova::standin::internal::Fault;
using kestova::standin::internal::TheWorld;
using kestova::standin::internal::World;

namespace {

std::mutex g_cancel_lock;
thread_local bool t_holds_cancel_lock = false;

}  // namespace

// --- Devices and links --------------------------------------------------------------------------

NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extensionSize, PUNICODE_STRING name,
                        ULONG type, ULONG characteristics, BOOLEAN exclusive,
                        PDEVICE_OBJECT* device) {
  ExpectNoSpinLock("IoCreateDevice");
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.failCreateDevice != STATUS_SUCCESS) return world.failCreateDevice;
  if (world.device != nullptr) return STATUS_OBJECT_NAME_COLLISION;
  PDEVICE_OBJECT created = new DEVICE_OBJECT();
  created->DriverObject = driver;
  created->DeviceType = type;
  created->Characteristics = characteristics;
  created->Exclusive = exclusive;
  created->DeviceExtensionSize = extensionSize;
  world.device = created;
  world.deviceName = kestova::standin::internal::ToString(name);
  driver->DeviceObject = created;
  *device = created;
  return STATUS_SUCCESS;
}

void IoDeleteDevice(PDEVICE_OBJECT device) {
  World& world = TheWorld();
  {
    std::lock_guard<std::mutex> guard(world.mutex);
    if (device == world.device) {
      world.device = nullptr;
      world.driver.DeviceObject = nullptr;
      delete device;
      return;
    }
  }
  Fault("IoDeleteDevice of an unknown device");
}

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING link, PUNICODE_STRING target) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.failSymbolicLink != STATUS_SUCCESS) return world.failSymbolicLink;
  if (world.linkExists) return STATUS_OBJECT_NAME_COLLISION;
  world.linkExists = true;
  world.linkName = kestova::standin::internal::ToString(link);
  world.linkTarget = kestova::standin::internal::ToString(target);
  return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING link) {
  World& world = TheWorld();
  bool known = false;
  {
    std::lock_guard<std::mutex> guard(world.mutex);
    known = world.linkExists && world.linkName == kestova::standin::internal::ToString(link);
    if (known) world.linkExists = false;
  }
  if (!known) {
    Fault("IoDeleteSymbolicLink of a link that does not exist");
    return STATUS_UNSUCCESSFUL;
  }
  return STATUS_SUCCESS;
}

// --- MDLs, IRPs, cancellation -------------------------------------------------------------------

PVOID MmGetSystemAddressForMdlSafe(PMDL mdl, MM_PAGE_PRIORITY) {
  return mdl->standinUnmappable ? nullptr : mdl->MappedSystemVa;
}

ULONG MmGetMdlByteCount(PMDL mdl) { return mdl->ByteCount; }

PDRIVER_CANCEL IoSetCancelRoutine(PIRP irp, PDRIVER_CANCEL routine) {
  return __atomic_exchange_n(&irp->CancelRoutine, routine, __ATOMIC_SEQ_CST);
}

void IoAcquireCancelSpinLock(PKIRQL irql) {
  g_cancel_lock.lock();
  t_holds_cancel_lock = true;
  kestova::standin::internal::NoteSpinLockAcquired(&g_cancel_lock);
  *irql = 2;
}

void IoReleaseCancelSpinLock(KIRQL) {
  if (!t_holds_cancel_lock) {
    Fault("IoReleaseCancelSpinLock without holding the cancel lock");
    return;
  }
  t_holds_cancel_lock = false;
  kestova::standin::internal::NoteSpinLockReleased(&g_cancel_lock);
  g_cancel_lock.unlock();
}

namespace kestova {
namespace standin {

void CompleteFromDriver(PIRP irp) {
  if (internal::HeldSpinLocks() != 0) Fault("IRP completed while holding a spin lock");
  if (__atomic_load_n(&irp->CancelRoutine, __ATOMIC_SEQ_CST) != nullptr) {
    Fault("IRP completed with its cancel routine still set");
  }
  CRequest* request = static_cast<CRequest*>(irp->standinRequest);
  if (request == nullptr) {
    Fault("completion of an IRP the I/O manager did not send");
    return;
  }
  std::lock_guard<std::mutex> guard(request->mutex_);
  if (++request->completions_ > 1) Fault("IRP completed more than once");
  if (request->inDispatch_) request->completedDuringDispatch_ = true;
  request->done_.notify_all();
}

}  // namespace standin
}  // namespace kestova

void IoCompleteRequest(PIRP irp, CCHAR) { kestova::standin::CompleteFromDriver(irp); }

namespace kestova {
namespace standin {

// --- Requests and handles -----------------------------------------------------------------------

CRequest::CRequest() { InitializeListHead(&irp_.Tail.Overlay.ListEntry); }

CRequest::~CRequest() {
  if (!WaitCompleted(5000)) Fault("a request was abandoned while the driver still held it");
}

bool CRequest::Completed() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return completions_ > 0;
}

bool CRequest::WaitCompleted(int milliseconds) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return done_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                        [this] { return completions_ > 0; });
}

NTSTATUS CRequest::Status() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return irp_.IoStatus.Status;
}

ULONG_PTR CRequest::Information() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return irp_.IoStatus.Information;
}

bool CRequest::Cancel() {
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  irp_.Cancel = TRUE;
  PDRIVER_CANCEL routine = IoSetCancelRoutine(&irp_, nullptr);
  if (routine == nullptr) {
    IoReleaseCancelSpinLock(irql);
    return false;
  }
  irp_.CancelIrql = irql;
  routine(irp_.standinStack.DeviceObject, &irp_);
  if (t_holds_cancel_lock) {
    Fault("cancel routine returned without releasing the cancel lock");
    IoReleaseCancelSpinLock(irql);
  }
  return true;
}

CHandle::CHandle() {
  std::unique_ptr<CRequest> create = Send(IRP_MJ_CREATE, std::unique_ptr<CRequest>(new CRequest()));
  createStatus_ = create->Completed() ? create->Status() : STATUS_PENDING;
  open_ = createStatus_ == STATUS_SUCCESS;
}

CHandle::~CHandle() { Close(); }

void CHandle::Close() {
  if (!open_) return;
  open_ = false;
  Send(IRP_MJ_CLEANUP, std::unique_ptr<CRequest>(new CRequest()));
  Send(IRP_MJ_CLOSE, std::unique_ptr<CRequest>(new CRequest()));
}

std::unique_ptr<CRequest> CHandle::Send(UCHAR major, std::unique_ptr<CRequest> request) {
  World& world = TheWorld();
  PDRIVER_DISPATCH dispatch = nullptr;
  PDEVICE_OBJECT device = nullptr;
  {
    std::lock_guard<std::mutex> guard(world.mutex);
    dispatch = world.driver.MajorFunction[major];
    device = world.device;
  }
  IRP& irp = request->irp_;
  irp.standinRequest = request.get();
  irp.standinStack.MajorFunction = major;
  irp.standinStack.FileObject = &file_;
  irp.standinStack.DeviceObject = device;
  if (dispatch == nullptr || device == nullptr) {
    Fault("request sent to a driver without a device or dispatch routine");
    return request;
  }
  {
    std::lock_guard<std::mutex> guard(request->mutex_);
    request->inDispatch_ = true;
  }
  NTSTATUS result = dispatch(device, &irp);
  bool completed;
  {
    std::lock_guard<std::mutex> guard(request->mutex_);
    request->inDispatch_ = false;
    request->dispatchResult_ = result;
    completed = request->completions_ > 0;
  }
  if (internal::HeldSpinLocks() != 0) Fault("dispatch routine returned holding a spin lock");
  if (result == STATUS_PENDING) {
    if (!irp.PendingReturned) Fault("STATUS_PENDING returned without IoMarkIrpPending");
  } else {
    if (!completed) Fault("dispatch returned a final status without completing the IRP");
    if (completed && request->Status() != result) {
      Fault("dispatch returned a status other than the one it completed with");
    }
  }
  return request;
}

std::unique_ptr<CRequest> CHandle::Read(ULONG length, bool unmappable) {
  std::unique_ptr<CRequest> request(new CRequest());
  request->data_.assign(length, 0xEE);
  if (length != 0) {
    request->mdl_.MappedSystemVa = request->data_.data();
    request->mdl_.ByteCount = length;
    request->mdl_.standinDescribed = length;
    request->mdl_.standinUnmappable = unmappable ? TRUE : FALSE;
    request->irp_.MdlAddress = &request->mdl_;
  }
  request->irp_.standinStack.Parameters.Read.Length = length;
  return Send(IRP_MJ_READ, std::move(request));
}

std::unique_ptr<CRequest> CHandle::Write(ULONG length) {
  std::unique_ptr<CRequest> request(new CRequest());
  request->data_.assign(length, 0x5A);
  if (length != 0) {
    request->mdl_.MappedSystemVa = request->data_.data();
    request->mdl_.ByteCount = length;
    request->mdl_.standinDescribed = length;
    request->irp_.MdlAddress = &request->mdl_;
  }
  request->irp_.standinStack.Parameters.Write.Length = length;
  return Send(IRP_MJ_WRITE, std::move(request));
}

std::unique_ptr<CRequest> CHandle::DeviceControl(ULONG code, const std::vector<uint8_t>& input,
                                                 ULONG outputLength) {
  std::unique_ptr<CRequest> request(new CRequest());
  size_t size = input.size() > outputLength ? input.size() : outputLength;
  request->data_.assign(size, 0xAB);  // a system buffer is not cleared
  std::copy(input.begin(), input.end(), request->data_.begin());
  request->irp_.AssociatedIrp.SystemBuffer = size != 0 ? request->data_.data() : nullptr;
  auto& parameters = request->irp_.standinStack.Parameters.DeviceIoControl;
  parameters.IoControlCode = code;
  parameters.InputBufferLength = static_cast<ULONG>(input.size());
  parameters.OutputBufferLength = outputLength;
  std::unique_ptr<CRequest> sent = Send(IRP_MJ_DEVICE_CONTROL, std::move(request));
  if (sent->Completed() && sent->Information() > outputLength) {
    Fault("device control reports more output than the output buffer holds");
  }
  return sent;
}

// --- The driver ---------------------------------------------------------------------------------

NTSTATUS LoadDriver() {
  World& world = TheWorld();
  {
    std::lock_guard<std::mutex> guard(world.mutex);
    world.driver = DRIVER_OBJECT{};
  }
  UNICODE_STRING registry;
  RtlInitUnicodeString(&registry,
                       u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\KESTOVA");
  return DriverEntry(&world.driver, &registry);
}

void UnloadDriver() {
  World& world = TheWorld();
  PDRIVER_UNLOAD unload;
  {
    std::lock_guard<std::mutex> guard(world.mutex);
    unload = world.driver.DriverUnload;
  }
  if (unload == nullptr) {
    Fault("the driver has no unload routine");
    return;
  }
  unload(&world.driver);
  std::lock_guard<std::mutex> guard(world.mutex);
  world.driver = DRIVER_OBJECT{};
}

bool DeviceExists(ULONG* type, ULONG* characteristics, ULONG* flags) {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  if (world.device == nullptr || world.deviceName != u"\\Device\\KESTOVA") return false;
  *type = world.device->DeviceType;
  *characteristics = world.device->Characteristics;
  *flags = world.device->Flags;
  return true;
}

bool SymbolicLinkExists() {
  World& world = TheWorld();
  std::lock_guard<std::mutex> guard(world.mutex);
  return world.linkExists && world.linkName == u"\\DosDevices\\KESTOVA" &&
         world.linkTarget == u"\\Device\\KESTOVA";
}

}  // namespace standin
}  // namespace kestova
