// A worker for the pool test: keeps its thread busy for `ms` milliseconds.
export default ({ ms }) => {
  const end = Date.now() + ms;
  while (Date.now() < end);
  return ms;
};
// A teardown that takes a while, as one that flushes or closes something does:
// it holds open the moment in which the pool has let go of the thread but
// still hears from it, so that the test meets that moment every time rather
// than by chance.
export const onWorkerTermination = () => new Promise((resolve) => setTimeout(resolve, 100));
