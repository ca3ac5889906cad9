// A worker for the pool test: keeps its thread busy for `ms` milliseconds.
export default ({ ms }) => {
  const end = Date.now() + ms;
  while (Date.now() < end);
  return ms;
};
export const onWorkerTermination = async () => {};
